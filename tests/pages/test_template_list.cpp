#include "ComboBoxDelegate.h"
#include "ModelTemplates.h"
#include "SerialNumberEditor.h"
#include "TestEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QStringList names(const ModelTemplates& model)
{
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.index(row, 0).data().toString();
    list.sort();
    return list;
}

// One cell edited through the delegate, as the table of the settings page does.
struct DelegatedCell
{
    DelegatedCell(QStringList* items, bool editable, const QStringList& kept = {})
        : delegate(nullptr, items, editable, kept)
    {
        model.setItem(0, 0, new QStandardItem);
        editor.reset(static_cast<QComboBox*>(delegate.createEditor(&parent, QStyleOptionViewItem(), index())));
    }
    QModelIndex index() const { return model.index(0, 0); }
    void show(const QString& text)
    {
        model.setData(index(), text);
        delegate.setEditorData(editor.get(), index());
    }

    QWidget parent;
    QStandardItemModel model;
    ComboBoxDelegate delegate;
    std::unique_ptr<QComboBox> editor;
};

}  // namespace

class TestTemplateList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void listsTheWorkbooksOfItsFolder()
    {
        QTemporaryDir folder;
        for (const char* name : {"поверка.xlsx", "ГОСТ.XLSX", "~$поверка.xlsx", "readme.txt", "old.xls"})
            QVERIFY(touch(folder.filePath(QString::fromUtf8(name))));
        QVERIFY(QDir(folder.path()).mkdir("folder.xlsx"));
        ModelTemplates model(folder.path());
        QCOMPARE(g_modelTemplates, &model);
        QCOMPARE(names(model), QStringList({"ГОСТ.XLSX", "поверка.xlsx"}));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Список шаблонов"));
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QString("2"));

        QVERIFY(touch(folder.filePath("новый.xlsx")));
        model.loadFolder();
        QCOMPARE(model.count(), 3);
    }

    void defaultIsTheConfiguredOrTheFirst()
    {
        QTemporaryDir folder;
        QVERIFY(touch(folder.filePath("a.xlsx")));
        ModelTemplates model(folder.path());
        QVERIFY(touch(folder.filePath("b.xlsx")));
        model.loadFolder();
        QCOMPARE(model.defaultTemplate("b.xlsx"), QString("b.xlsx"));
        QCOMPARE(model.defaultTemplate("удалённый.xlsx"), model.index(0, 0).data().toString());
        QCOMPARE(model.defaultTemplate(QString()), model.index(0, 0).data().toString());

        model.setFolder(folder.filePath("нет такой"));
        model.loadFolder();
        QCOMPARE(model.count(), 0);
        QCOMPARE(model.defaultTemplate("b.xlsx"), QString());
    }

    void filterIsCaseSensitive()
    {
        QTemporaryDir folder;
        QVERIFY(touch(folder.filePath("protocol.xlsx")));
        ModelTemplates model(folder.path());
        QVERIFY(model.matchesFilter(0, "proto"));
        QVERIFY(!model.matchesFilter(0, "PROTO"));
        QVERIFY(model.matchesFilter(0, QString()));
        QVERIFY(model.nameEquals(0, "protocol.xlsx"));
        QVERIFY(!model.nameEquals(0, "Protocol.xlsx"));
    }

    void delegateWritesTheText()
    {
        QStringList units{"Па", "кПа", "МПа"};
        DelegatedCell cell(&units, false);
        QVERIFY(!cell.editor->isEditable());
        cell.show("бар");
        QCOMPARE(cell.editor->currentIndex(), -1);
        cell.show("МПа");
        QCOMPARE(cell.editor->currentIndex(), 2);
        cell.editor->setCurrentIndex(1);
        cell.delegate.setModelData(cell.editor.get(), &cell.model, cell.index());
        QCOMPARE(cell.model.data(cell.index()), QVariant("кПа"));
        QCOMPARE(units.size(), 3);
    }

    // A confirmed name joins the shared list; at 50 names the oldest typed name goes, never a kept one.
    void typedNamesJoinTheList()
    {
        QStringList names{"нет", "ДИ", "ДД-1", "ДА"};
        while (names.size() < ComboBoxDelegate::maximumItems)
            names << QString("ДД-%1").arg(names.size() - 2);
        DelegatedCell cell(&names, true, {"нет", "ДИ", "ДА"});
        QVERIFY(cell.editor->isEditable());
        cell.show("АИР-20");
        QCOMPARE(cell.editor->currentIndex(), -1);
        cell.editor->addItem("АИР-20");
        cell.show("АИР-20");
        QCOMPARE(names.size(), ComboBoxDelegate::maximumItems);
        QCOMPARE(names.mid(0, 4), QStringList({"нет", "ДИ", "ДА", "ДД-2"}));
        QCOMPARE(names.last(), QString("АИР-20"));
        QCOMPARE(cell.editor->currentText(), QString("АИР-20"));
    }

    void serialNumbersAreZeroFilled()
    {
        SerialNumberEditor editor;
        editor.setMaximum(999999);
        editor.setValue(42);
        QCOMPARE(editor.text(), QString("00042"));
        QCOMPARE(editor.findChild<QLineEdit*>()->text(), QString("00042"));
        editor.setValue(0);
        QCOMPARE(editor.text(), QString("00000"));
        editor.setValue(123456);
        QCOMPARE(editor.text(), QString("123456"));
        editor.setDigits(7);
        editor.setValue(123);
        QCOMPARE(editor.text(), QString("0000123"));
        QCOMPARE(editor.findChild<QLineEdit*>()->text(), QString("0000123"));
    }
};

QTEST_MAIN(TestTemplateList)
#include "test_template_list.moc"
