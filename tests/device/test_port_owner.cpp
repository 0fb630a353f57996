#include "PortOwner.h"

#include <QSerialPort>
#include <QThread>
#include <QtTest>
#include <stdexcept>

namespace {

// Lends the port to a new thread that runs job through the owner; returns the finished thread.
std::unique_ptr<QThread> runLent(PortOwner& owner, const std::function<void()>& job)
{
    std::unique_ptr<QThread> worker(QThread::create([&owner, job] {
        try {
            owner.serve(job);
        } catch (const std::runtime_error&) {
        }
    }));
    if (!owner.lend(worker.get()))
        return nullptr;
    worker->start();
    worker->wait();
    return worker;
}

}  // namespace

class TestPortOwner : public QObject
{
    Q_OBJECT
private slots:
    // However the job ends, the port comes home once and the owner says so only then.
    void portComesHomeOnEveryExit_data()
    {
        QTest::addColumn<int>("exit");
        QTest::newRow("normal") << 0;
        QTest::newRow("early return") << 1;
        QTest::newRow("exception") << 2;
    }

    void portComesHomeOnEveryExit()
    {
        QFETCH(int, exit);
        PortOwner owner(new QSerialPort);
        bool freeInside = true;
        QThread* threadInside = nullptr;
        const auto worker = runLent(owner, [&] {
            freeInside = owner.isFree();
            threadInside = owner.port()->thread();
            if (exit == 1)
                return;
            if (exit == 2)
                throw std::runtime_error("job failed");
        });
        QVERIFY(worker);
        QVERIFY(!freeInside);
        QCOMPARE(threadInside, worker.get());
        QVERIFY(owner.isFree());
        QCOMPARE(owner.port()->thread(), QThread::currentThread());
    }

    void secondLenderIsRefusedAndAbortsAreCleared()
    {
        PortOwner owner(new QSerialPort);
        QThread first;
        QThread second;
        QVERIFY(owner.lend(&first));
        QVERIFY(!owner.lend(&second));
        QCOMPARE(owner.port()->thread(), &first);
        // Only the borrower can give the port back.
        owner.giveBack();
        QVERIFY(!owner.isFree());
        first.start();
        QMetaObject::invokeMethod(owner.port(), [&owner] { owner.giveBack(); }, Qt::BlockingQueuedConnection);
        first.quit();
        first.wait();
        QVERIFY(owner.isFree());

        // A lend clears the abort of the last job.
        owner.abort();
        QVERIFY(runLent(owner, [] {}));
        QVERIFY(!owner.abortFlag());
        // An exchange the home thread runs itself is a job of its own too.
        owner.abort();
        QVERIFY(owner.prepareExchange());
        QVERIFY(!owner.abortFlag());
    }
};

QTEST_GUILESS_MAIN(TestPortOwner)
#include "test_port_owner.moc"
