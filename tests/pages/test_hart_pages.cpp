#include "BoundedWait.h"
#include "ComboListCheck.h"
#include "ExchangeLogHook.h"
#include "HartDeviceTypeNames.h"
#include "HartPackedAscii.h"
#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "ParametrPoller.h"
#include "PortOwner.h"
#include "ScreenLocker.h"
#include "TabDeviceConfiguration.h"
#include "TabHartParametrs.h"
#include "TabHartSpecific.h"
#include "TabHartUCurrentOutput.h"
#include "TabHartxAditionalStatus.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSemaphore>
#include <QThread>
#include <QtTest/qtestspontaneevent.h>

namespace {

constexpr int ParametrsPage = 1;
constexpr int SpecificPage = 2;
constexpr int CurrentOutputPage = 3;
const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");
const QString unchanged = QStringLiteral("Конфигурация устройства не была изменена!");
const QString outOfRange = QStringLiteral("Значение выходит за пределы диапазона.");
const QString hartOff = QStringLiteral("HART протокол на устройстве не включен.");
const char* const write = "pushButton_writeParametrs";
const char* const writeAddress = "pushButton_writeDeviceAdress";
const char* const password = "lineEdit_password";
const char* const byButton = "comboBox_nullPaswordByButton";
const char* const protection = "comboBox_writeProtection";

// One field each, typed wrong. A write checks its fields in the reverse order of this list, so
// each refusal is told for its own field while the earlier ones are still wrong.
const struct BadInput
{
    const char* field;
    const char* text;
    const char* button;
} badInputs[] = {
    {"lineEdit_longHeader", "ЖЖ", write},
    {"lineEdit_numberOfPreambuls", "21", write},
    {"lineEdit_numberOfPreambuls", "", write},
    {"lineEdit_note", "A~B", write},
    {"dateEdit", "2156", write},
    {"dateEdit", "1899", write},
    {"lineEdit_description", "ДАТЧИК", write},
    {"lineEdit_header", "pt-101", write},
    {"lineEdit_deviceAdress", "", writeAddress},
    {"lineEdit_deviceAdress", "16", writeAddress},
    {"lineEdit_deviceAdress", "-1", writeAddress},
};

// Additional status replies in turn, and the lamps each lights: every reply starts from all lamps
// off, and bytes a short reply did not carry show off.
const struct
{
    const char* reply;
    QList<int> lit;
} statusReplies[] = {
    {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"000000000000040008", {1, 6}},
    {"0000000000000700", {0, 1, 2}},
    {"000000000000F80080", {}},
    {"00000000000000007F", {3, 4, 5, 6, 7, 8, 9}},
    {"000000000000", {}},
};

// Results the tab is given, and what it tells of each.
const struct
{
    int command;
    quint8 responseCode;
    bool factoryReset;
    QStringList told;
} results[] = {
    {2, 0, false, {"Неизвестная HART команда"}},
    {42, 5, false, {}},
    {136, 0, true, {"Заводские настройки успешно установлены."}},
    {136, 16, true, {}},
};

// What each device-specific variant shows and hides of the protection group, the list set, and
// the command 135 data the write then sends.
const struct DeviceVariant
{
    quint16 typeKey;
    QList<const char*> shown;
    QList<const char*> hidden;
    const char* combo;
    int index;
    const char* written;
} variants[] = {
    {hartTypeNoPassword, {}, {password, "comboBox_indicationMode", byButton, protection},
     "comboBox_nullPaswordByGercon", 0, "10e100"},
    {hartTypeWriteProtection, {protection}, {password, "groupBox_scaleShiftP", byButton}, protection, 0, "000001"},
    {hartTypeButtonZeroing, {password, byButton}, {protection}, byButton, 1, "10e103"},
};

template <int N>
QByteArray bytes(const quint8 (&block)[N])
{
    return QByteArray(reinterpret_cast<const char*>(block), N);
}

// What a write may change in the read record and the staging copy.
QByteArray writable(const HartDeviceData& d)
{
    return bytes(d.tag) + bytes(d.descriptor) + bytes(d.date) + bytes(d.message) + bytes(d.longTag)
           + char(d.responsePreambles) + char(d.newPollingAddress) + char(d.loopCurrentMode);
}

// The buttons and fields of the current output page the operator can use and the warnings it
// shows, sorted by name.
QStringList usableControls(QWidget* page)
{
    QStringList names;
    for (QWidget* child : page->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child);
        const bool warning = child->objectName() == "label_warn_only_5_20"
                             || child->objectName() == "label_deviceInMultidropMode";
        if (child->isVisibleTo(page) && ((control && child->isEnabled()) || warning))
            names << child->objectName();
    }
    names.sort();
    return names;
}

// The text in HART packed ASCII, blanks after it.
QByteArray packed(const char* text, int size)
{
    QByteArray bytes(size, '\0');
    packAscii(QString::fromLatin1(text), reinterpret_cast<quint8*>(bytes.data()), size);
    return bytes;
}

void movePointer(QWidget* widget, const QPoint& at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QList<int> litLamps(const TabHartxAditionalStatus& page)
{
    QList<int> lit;
    for (const HartStatusElement* lamp : page.lamps())
        if (lamp->state())
            lit << lamp->id();
    return lit;
}

// Clicks a button of the current output page that must refuse while the calibrator measures the
// fixed current: empty when it told the message, sent the transmitter nothing and kept measuring
// and showing the current, else what went wrong.
QString refusalWhileMeasuring(HartSubPageRig& rig, const char* button, const QString& message)
{
    rig.clearLogs();
    const int told = rig.bench.popUps().size();
    rig.find<QPushButton>(button)->click();
    if (!BoundedWait::until([&] { return rig.bench.popUps().size() > told; })
        || rig.bench.popUps().mid(told) != QStringList{message})
        return QStringLiteral("%1 told: %2").arg(button, rig.bench.popUps().mid(told).join(" | "));
    if (!rig.transmitter().commands().isEmpty())
        return QStringLiteral("%1 sent a HART command").arg(button);
    const int reads = rig.bench.emulator().requestCount();
    if (!BoundedWait::until([&] { return rig.bench.emulator().requestCount() > reads; }))
        return QStringLiteral("%1 stopped the measurement").arg(button);
    // The readout of a poll started just before may still be on its way to the window.
    const auto showing = [&] {
        return rig.tab->currentOutputPage()->currentPoller()->isRunning()
               && rig.find<QWidget>("widget_zfnCurrent")->isVisible();
    };
    if (!BoundedWait::until(showing))
        return QStringLiteral("%1 stopped showing the current").arg(button);
    return QString();
}

// A list of a HART page: its items (texts, and the codes they carry as item data when they carry
// any) and, per item, the bytes a write of it puts at an offset of a command's data (mask: the
// bits of a shared byte that are the list's).
struct ChoiceList
{
    const char* combo;
    QStringList texts;
    QList<int> codes;
    int command;
    int offset;
    QList<QByteArray> written;
    quint8 mask = 0xFF;
};

// Writes every choice of the lists, stepping them together from what the page shows so that each
// write changes each list: empty when every write carried each choice's bytes and the read-back
// that follows shows the choice again, else the first that did not.
QString writeEachChoice(HartSubPageRig& rig, const QList<ChoiceList>& lists)
{
    QList<int> start;
    int steps = 0;
    for (const ChoiceList& list : lists) {
        start << rig.find<QComboBox>(list.combo)->currentIndex();
        if (start.last() < 0)
            return QStringLiteral("%1 shows no choice to start from").arg(list.combo);
        steps = std::max(steps, int(list.texts.size()));
    }
    for (int step = 1; step <= steps; ++step) {
        QList<int> chosen;
        for (int i = 0; i < lists.size(); ++i) {
            chosen << (start.at(i) + step) % lists.at(i).texts.size();
            rig.find<QComboBox>(lists.at(i).combo)->setCurrentIndex(chosen.last());
        }
        if (rig.run(write).contains(-1))
            return QStringLiteral("the write of step %1 did not end").arg(step);
        for (int i = 0; i < lists.size(); ++i) {
            const ChoiceList& list = lists.at(i);
            const QByteArray expected = QByteArray::fromHex(list.written.at(chosen.at(i)));
            QByteArray sent = rig.sentData(list.command).mid(list.offset, expected.size());
            for (char& byte : sent)
                byte = char(quint8(byte) & list.mask);
            if (sent != expected)
                return QStringLiteral("%1 \"%2\" sent %3 in command %4")
                    .arg(list.combo, list.texts.at(chosen.at(i)), QString(sent.toHex()))
                    .arg(list.command);
            const int shown = rig.find<QComboBox>(list.combo)->currentIndex();
            if (shown != chosen.at(i))
                return QStringLiteral("%1 shows item %2 after writing \"%3\"")
                    .arg(list.combo)
                    .arg(shown)
                    .arg(list.texts.at(chosen.at(i)));
        }
    }
    return QString();
}

// One operator step on the parameters page: "unit X" picks a PV unit, "max T", "min T" and
// "damping T" type into a field, "function N" picks a transfer function, "read" reads again.
void operateParametrs(HartSubPageRig& rig, const QString& step)
{
    const QString what = step.section(' ', 0, 0);
    const QString value = step.section(' ', 1);
    const QHash<QString, const char*> fields = {{"max", "lineEdit_device_mainValMax"},
                                                {"min", "lineEdit_device_mainValMin"},
                                                {"damping", "lineEdit_device_demph"}};
    if (what == "unit")
        rig.find<QComboBox>("comboBox_device_measureV1")->setCurrentText(value);
    else if (what == "function")
        rig.find<QComboBox>("comboBox_device_functiuon")->setCurrentIndex(value.toInt());
    else if (what == "read")
        rig.run("pushButton_readParametrs");
    else
        rig.setText(fields.value(what), value);
}

// Clicks the parameters page's write and waits until its operation with the read-back has ended,
// or until the page has refused with a message and left the port free: a fault that stops the
// write fails its row at once.
void writeParametrsOnce(HartSubPageRig& rig)
{
    rig.clearLogs();
    QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
    const int told = rig.bench.popUps().size();
    rig.find<QPushButton>(write)->click();
    BoundedWait::until([&] {
        return !finished.isEmpty() || (rig.bench.popUps().size() > told && rig.device().portOwner()->isFree());
    }, BoundedWait::jobMs);
    QCoreApplication::processEvents();
}

// Every HART request from the last clear as "command:data".
QStringList hartRequests(HartSubPageRig& rig)
{
    QStringList sent;
    for (const HartSlaveRequest& request : rig.transmitter().requests())
        sent << QStringLiteral("%1:%2").arg(request.command).arg(QString(request.data.toHex()));
    return sent;
}

// The transmitter's range, unit, damping and transfer function.
QString transmitterOutput(const HartTransmitterState& s)
{
    return QStringLiteral("%1..%2 %3, %4 s, function %5")
        .arg(floatToText(s.lowerRangeValue), floatToText(s.upperRangeValue), hartUnitText(s.pvUnit),
             floatToText(s.damping))
        .arg(s.transferFunction);
}

// Clicks a button of the settings page and waits until its operation has ended and freed the port.
bool runSettingsOperation(HartSubPageRig& rig, const char* button)
{
    QueuedSpy finished(&rig.device(), &DeviceZFN::algoritmFinished);
    requireChild<QPushButton>(rig.window->findChild<TabDeviceConfiguration*>(), button)->click();
    return BoundedWait::until([&] { return !finished.isEmpty() && rig.device().portOwner()->isFree(); },
                              BoundedWait::jobMs);
}

// The settings page reads the calibrator's settings block; false when the read did not end.
bool readCalibratorSettings(HartSubPageRig& rig)
{
    return runSettingsOperation(rig, "pushButton_read");
}

// The settings image the calibrator holds (registers 16 and 48).
DeviceSettings calibratorImage(HartSubPageRig& rig)
{
    const QByteArray image = QByteArray::fromHex(rig.bench.emulator().registerText(16, 2)
                                                 + rig.bench.emulator().registerText(48, 2));
    DeviceSettings block;
    std::copy_n(image.constData(), std::min(int(image.size()), DeviceSettings::Size), block.bytes.begin());
    return block;
}

// The settings page's unit and range of the sensor under test.
QString settingsPageRange(HartSubPageRig& rig)
{
    auto* page = rig.window->findChild<TabDeviceConfiguration*>();
    return QStringLiteral("%1 %2..%3")
        .arg(requireChild<QComboBox>(page, "comboBox_unitVerifiablePD")->currentText())
        .arg(requireChild<QDoubleSpinBox>(page, "doubleSpinBox_LoP")->value())
        .arg(requireChild<QDoubleSpinBox>(page, "doubleSpinBox_HiP")->value());
}

// The settings image the settings page's "Записать" sends (registers 16 and 48), empty when the
// write did not end.
QByteArray settingsPageWrite(HartSubPageRig& rig)
{
    rig.clearLogs();
    if (!runSettingsOperation(rig, "pushButton_write"))
        return QByteArray();
    QByteArray hex;
    for (const QString& command : emulatorCommands(rig.bench.emulator()))
        if (command.startsWith("11;16;2;4;") || command.startsWith("11;48;2;4;"))
            hex += command.mid(10).toLatin1();
    return QByteArray::fromHex(hex);
}

// The unit and range of the sensor under test in a settings block.
QString calibratorRange(const DeviceSettings& block)
{
    return QStringLiteral("%1 %2..%3 кПа")
        .arg(unitName(block.verifiablePdUnitIndex()), floatToText(block.floatAt(DeviceSettings::VerifiedLowerByte)),
             floatToText(block.floatAt(DeviceSettings::VerifiedUpperByte)));
}

const QStringList permissionTexts = {"запрещено", "разрешено"};

}  // namespace

Q_DECLARE_METATYPE(HartVariant)

// The HART tab and its pages in the main window, each walked after its silent read from the
// emulated transmitter, and the status bar with its pop-up.
class TestHartPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        initHartTextTables();
    }

    // The information page walked through: its silent read, refused and unchanged writes, writes
    // of the changed groups, the address, restart and flag reset, the additional status, a lost
    // transmitter and the modem switched off.
    void informationPage()
    {
        HartSubPageRig rig;
        QVERIFY(!rig.find<QPushButton>(write)->isEnabled());
        const HartDeviceData read = rig.showSubPage(0);
        QCOMPARE(rig.texts({"label_deviceTypeExpanded", "label_hartProtocolVersion", "label_id",
                            "label_phisicalInterface", "label_modulesVersion", "lineEdit_deviceAdressExpanded",
                            "lineEdit_deviceName", "lineEdit_header", "lineEdit_note"}),
                 QStringList({"4660     ( 0x1234 )", "HART_7", "258     ( 0x102 )", "Bell 202 Current", "2",
                              "0x1234000102", "Неизвестное HART-устройство", "PT-101", "EMULATED TRANSMITTER"}));
        QCOMPARE(rig.tab->statusWidget()->statusText(), QString("  HART-устройство на связи "));
        QVERIFY(rig.bench.popUps().isEmpty());

        // Nothing is staged from a refused write, even with other fields changed and valid; the
        // read record stays as the read left it.
        QCOMPARE(rig.refusal(write, unchanged), QString());
        const QByteArray staged = writable(*rig.device().hartEditedData());
        rig.setText("lineEdit_note", "CHANGED");
        for (const BadInput& bad : badInputs) {
            QWidget* field = rig.find<QWidget>(bad.field);
            if (auto* line = qobject_cast<QLineEdit*>(field))
                line->setText(bad.text);
            else
                qobject_cast<QDateEdit*>(field)->setDate(QDate(QString(bad.text).toInt(), 1, 1));
            QCOMPARE(rig.refusal(bad.button, wrongCharacters, bad.field), QString());
        }
        QCOMPARE(writable(*rig.device().hartData()), writable(read));
        QCOMPARE(writable(*rig.device().hartEditedData()), staged);

        // Only the changed groups are written, each with its command, then everything is read back.
        rig.run("pushButton_readParametrs");
        rig.find<QDateEdit>("dateEdit")->setDate(QDate(2031, 5, 17));
        QCOMPARE(rig.run(write).mid(0, 2), QList<int>({18, 0}));
        QCOMPARE(rig.sentData(18).right(3), QByteArray::fromHex("1105") + char(131));
        rig.setText("lineEdit_header", "PT");
        rig.setText("lineEdit_note", "CALIBRATED");
        rig.setText("lineEdit_numberOfPreambuls", "7");
        rig.setText("lineEdit_longHeader", "Zé");
        const int told = rig.bench.popUps().size();
        QCOMPARE(rig.run(write).mid(0, 5), QList<int>({18, 17, 59, 22, 0}));
        QCOMPARE(rig.sentData(22), QByteArray("Z\xE9") + QByteArray(30, ' '));
        QCOMPARE(rig.sentData(59), QByteArray(1, '\x07'));

        // Address 0 asks for the loop current to follow the variable; the button beside the field
        // asks the calibrator alone.
        for (const auto& [address, sent] : {std::pair{"3", "0300"}, std::pair{"0", "0001"}}) {
            rig.setText("lineEdit_deviceAdress", address);
            rig.run(writeAddress);
            QCOMPARE(rig.sentData(6), QByteArray::fromHex(sent));
            QCOMPARE(rig.text("lineEdit_deviceAdress"), QString(address));
        }
        rig.changeState([](HartTransmitterState& state) { state.pollingAddress = 5; });
        rig.clearLogs();
        rig.find<QPushButton>("pushButton_updateAdress")->click();
        QCOMPARE(rig.text("lineEdit_deviceAdress"), QString("5"));
        QCOMPARE(emulatorCommands(rig.bench.emulator()).filter("1;19;0;2").size(), 1);
        QVERIFY(rig.transmitter().commands().isEmpty());

        QCOMPARE(rig.run("pushButton_restartDevice"), QList<int>({42}));
        QCOMPARE(rig.run("pushButton_removeConfigurationChangedFlag").last(), 38);
        QTRY_COMPARE(rig.bench.popUps().mid(told),
                     QStringList({"HART-устройсво перезагружено.", "Флаг изменения кофигурации сброшен"}));

        TabHartxAditionalStatus& status = *rig.tab->additionalStatusPage();
        rig.scope = &status;
        for (const auto& row : statusReplies) {
            rig.changeState([&row](HartTransmitterState& s) { s.additionalStatus = QByteArray::fromHex(row.reply); });
            QCOMPARE(rig.run("pushButton_updateStatus"), QList<int>({48}));
            QCOMPARE(litLamps(status), row.lit);
        }
        rig.scope = rig.tab->informationPage();

        // The calibrator reports the transmitter gone: the bar says so, the fields keep the last read.
        rig.bench.emulator().setStatusReply("40", 15);
        rig.run("pushButton_readParametrs");
        QTRY_COMPARE(rig.tab->statusWidget()->statusText(), QString("  нет связи с HART-устройством "));
        QCOMPARE(rig.bench.popUps().size(), told + 3);
        QCOMPARE(rig.texts({"label_deviceTypeExpanded", "lineEdit_header"}),
                 QStringList({"4660     ( 0x1234 )", "PT"}));

        // With the modem off the buttons say so and send nothing; the page's own read says nothing.
        rig.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 0;
        rig.clearLogs();
        rig.tab->updateTab();
        for (const char* button : {"pushButton_restartDevice", "pushButton_removeConfigurationChangedFlag",
                                   "pushButton_readParametrs"})
            rig.find<QPushButton>(button)->click();
        QCOMPARE(rig.bench.popUps().mid(told + 3), QStringList({hartOff, hartOff, hartOff}));
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);

        // The hidden additional-status button leads to its slot, which starts nothing.
        auto* additional = rig.find<QPushButton>("pushButton_showAditionalStatus");
        QVERIFY(!additional->isVisibleTo(rig.tab->informationPage()));
        QVERIFY(QMetaObject::invokeMethod(rig.tab->informationPage(), "showAditionalStatus"));
        QVERIFY(QObject::disconnect(additional, &QPushButton::clicked, rig.tab->informationPage(),
                                    &TabHartInformation::showAditionalStatus));
    }

    // Every field of the information page shows its own value of the transmitter's identity, texts
    // and address, each distinct from the others so that two fields swapped fail. A HART 5
    // transmitter has no long tag: its field is empty and closed.
    void informationFields_data()
    {
        QTest::addColumn<HartVariant>("variant");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("longTagOpen");
        const QStringList common{"label_deviceTypeExpanded 6659     ( 0x1A03 )", "label_deviceVersion 4",
                                 "label_programVersion 9", "label_modulesVersion 6", "label_phisicalInterface RS-485",
                                 "label_id 10597059     ( 0xA1B2C3 )", "lineEdit_deviceName Датчик давления ПД-3",
                                 "lineEdit_deviceAdress 2", "lineEdit_deviceAdressExpanded 0x1A03A1B2C3",
                                 "lineEdit_header TAG-7", "lineEdit_description LEVEL GAUGE 12",
                                 "lineEdit_note LINE 4 NORTH", "dateEdit 17 мая 2019"};
        QTest::newRow("HART 7") << HartVariant::Family
                                << common + QStringList{"label_hartProtocolVersion HART_7", "lineEdit_numberOfPreambuls 11",
                                                        "lineEdit_longHeader Long tag é 8"}
                                << true;
        QTest::newRow("HART 5") << HartVariant::Hart5
                                << common + QStringList{"label_hartProtocolVersion HART_5", "lineEdit_longHeader "}
                                << false;
    }

    void informationFields()
    {
        QFETCH(HartVariant, variant);
        QFETCH(QStringList, shown);
        QFETCH(bool, longTagOpen);
        HartSubPageRig rig(variant, hartTypeButtonZeroing);
        rig.changeState([](HartTransmitterState& s) {
            s.deviceId = QByteArray::fromHex("A1B2C3");
            s.deviceRevision = 4;
            s.softwareRevision = 9;
            s.hardwareRevisionSignalling = 6 << 3 | 2;
            s.requestPreambles = 7;
            s.responsePreambles = 11;
            s.pollingAddress = 2;
            s.tag = packed("TAG-7", 6);
            s.descriptor = packed("LEVEL GAUGE 12", 12);
            s.date = QByteArray::fromHex("110577");
            s.message = packed("LINE 4 NORTH", 24);
            s.longTag = QByteArray("Long tag \xE9 8").leftJustified(32, ' ');
        });
        rig.showSubPage(0);
        QStringList texts;
        for (const QString& entry : qAsConst(shown)) {
            const QByteArray field = entry.section(' ', 0, 0).toLatin1();
            texts << field + ' ' + rig.text(field.constData());
        }
        QCOMPARE(texts, shown);
        QCOMPARE(rig.find<QLineEdit>("lineEdit_longHeader")->isEnabled(), longTagOpen);
    }

    // A read that a transmitter answers in part still lets the operator move it to another
    // polling address; the parameters, compared with a read, wait for one that succeeds.
    void addressWritableAfterAFailedRead()
    {
        for (const auto& [command, code] : {std::pair{12, 64}, std::pair{13, 5}}) {
            HartSubPageRig rig;
            rig.transmitter().setResponseCode(command, code);
            rig.showSubPage(0);
            QVERIFY(!rig.find<QPushButton>(write)->isEnabled());
            rig.setText("lineEdit_deviceAdress", "4");
            QCOMPARE(rig.run(writeAddress).first(), 6);
            QCOMPARE(rig.sentData(6), QByteArray::fromHex("0400"));
        }
    }

    // Leaving the page ends a read at its next command; turning back waits for the port rather
    // than being refused. A write runs to its end whether the page is left or the window minimised
    // and restored, which neither stops nor reads; nor does the page while another is shown.
    void readsStopWritesRunToTheirEnd()
    {
        HartSubPageRig rig;
        rig.transmitter().setCommandDelay(13, 300);
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        rig.showHartPage();
        QTRY_VERIFY(rig.transmitter().commands().contains(13));
        rig.showOtherPage();
        rig.showHartPage();
        QTRY_COMPARE_WITH_TIMEOUT(rig.transmitter().commands(), QList<int>({0, 13, 0, 13, 12, 20}),
                                  BoundedWait::stepMs);
        QTRY_VERIFY(!rig.window->findChild<ScreenLocker*>()->isVisible());
        QTRY_COMPARE(finished.size(), 2);
        QVERIFY(!finished.first().at(1).toBool());

        rig.transmitter().setCommandDelay(17, 200);
        for (const bool minimise : {true, false}) {
            rig.setText("lineEdit_note", minimise ? "FIRST" : "SECOND");
            rig.clearLogs();
            rig.find<QPushButton>(write)->click();
            QTRY_VERIFY(rig.transmitter().commands().contains(17));
            QHideEvent minimised;
            QSpontaneKeyEvent::setSpontaneous(&minimised);
            // Delivered as the window system does: sendEvent would clear the spontaneous mark.
            if (minimise)
                static_cast<QObject*>(rig.tab)->event(&minimised);
            else
                rig.showOtherPage();
            QVERIFY(finished.wait());
            QCOMPARE(rig.transmitter().commands(), QList<int>({17, 0, 13, 12, 20}));
            QShowEvent restored;
            QSpontaneKeyEvent::setSpontaneous(&restored);
            static_cast<QObject*>(rig.tab)->event(&restored);
            QTest::qWait(100);
            QCOMPARE(rig.transmitter().commands().size(), 5);
        }
        rig.tab->updateTab();
        QTest::qWait(100);
        QCOMPARE(rig.transmitter().commands().size(), 5);
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    // The end marker releases the overlay and sets the lamps from its own record, the first lamp
    // from the status byte's highest bit; the end of a failed read leaves the parameters unwritable.
    // A success is told from the record published with its result, whatever the read record holds
    // by the time the queue reaches it. The connection text changes only with the state.
    void resultsReachThePage()
    {
        DeviceTestBench bench(0);
        TabHart tab;
        QSignalSpy unlocks(&bench.device(), &DeviceZFN::unlockInteface);
        HartDeviceData snapshot;
        bench.device().hartData()->deviceStatus = 0x6F;
        for (const quint8 status : {0xFF, 0x90}) {
            snapshot.deviceStatus = status;
            tab.getHartResult(-1, snapshot);
        }
        QCOMPARE(unlocks.size(), 2);
        for (int i = 0; i < HartStatusWidget::LampCount; ++i)
            QCOMPARE(tab.statusWidget()->lamp(i)->state(), i == 0 || i == 3);
        tab.getHartResult(1, snapshot);
        tab.getHartAlgoritmResult(9, true, snapshot);
        QVERIFY(bench.popUps().isEmpty());

        auto* writeButton = requireChild<QPushButton>(tab.informationPage(), write);
        tab.getHartAlgoritmResult(1, false, snapshot);
        QVERIFY(!writeButton->isEnabled());
        tab.getHartAlgoritmResult(1, true, snapshot);
        QVERIFY(writeButton->isEnabled());

        for (const auto& result : results) {
            const int told = bench.popUps().size();
            bench.device().hartData()->responseCode = result.responseCode == 0 ? 9 : 0;
            bench.device().hartData()->factoryResetRunning = !result.factoryReset;
            snapshot.responseCode = result.responseCode;
            snapshot.factoryResetRunning = result.factoryReset;
            tab.getHartResult(result.command, snapshot);
            QCOMPARE(bench.popUps().mid(told), result.told);
        }

        requireChild<QLabel>(tab.statusWidget(), "label_hartStatus")->setText("marker");
        tab.statusWidget()->setHartDeviceConnectionState(false);
        QCOMPARE(tab.statusWidget()->statusText(), QString("marker"));
    }

    // The pop-up opens over the bar once; pointing at a lamp below it highlights that lamp's row,
    // and leaving upwards closes it.
    void popUpFollowsThePointer()
    {
        QWidget window;
        window.setGeometry(100, 300, 800, 100);
        auto* bar = new HartStatusWidget(&window);
        bar->move(10, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        HartStatusTextDiscription* popUp = bar->popUp();
        QVERIFY(!popUp->isVisible());
        movePointer(bar, QPoint(40, 5));
        QVERIFY(popUp->isVisible());
        const QPoint opened = popUp->pos();
        movePointer(bar, QPoint(200, 8));
        QCOMPARE(popUp->pos(), opened);

        auto overLamp = [&](int i) {
            return popUp->mapFromGlobal(bar->lamp(i)->mapToGlobal(bar->lamp(i)->rect().center()));
        };
        const QList<QLabel*> rows = popUp->findChildren<QLabel*>();
        movePointer(popUp, overLamp(3));
        QVERIFY(popUp->isSelected(3));
        QVERIFY(rows.at(3)->font().bold());
        movePointer(popUp, overLamp(6));
        QVERIFY(popUp->isSelected(6) && !popUp->isSelected(3));
        QVERIFY(!rows.at(3)->font().bold());

        movePointer(popUp, QPoint(20, 40));
        QVERIFY(popUp->isVisible());
        movePointer(popUp, QPoint(20, -1));
        QVERIFY(!popUp->isVisible());
    }

    // The pop-up is as large as its texts, with any row in bold: no row is cut or squeezed, and
    // every leader line reaches its row from the lamp row at the strip's foot.
    void popUpFitsItsTexts()
    {
        HartStatusWidget bar;
        HartStatusTextDiscription* popUp = bar.popUp();
        popUp->show();
        QVERIFY(QTest::qWaitForWindowExposed(popUp));
        const QList<QLabel*> rows = popUp->findChildren<QLabel*>();
        for (int selected = 0; selected < rows.size(); ++selected) {
            popUp->selectItem(selected);
            for (const QLabel* row : rows) {
                const QFontMetrics metrics = row->fontMetrics();
                QTRY_VERIFY2(row->width() >= metrics.horizontalAdvance(row->text()), qPrintable(row->text()));
                QVERIFY2(row->height() >= metrics.height(), qPrintable(row->text()));
                QVERIFY(popUp->rect().contains(row->geometry()));
                QVERIFY(row->geometry().center().y() < popUp->strip()->geometry().bottom());
            }
        }
        popUp->close();
    }

    // A unit change carries the range into the new unit, and the write sends the unit alone, the
    // transmitter converting its range itself; a number typed again is no change; values outside
    // the tables show empty and refuse or skip the write; a damping reported as NaN shows "-" and
    // any number changes it.
    void parametersPage()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.upperRangeValue = 100.0f; });
        rig.showSubPage(ParametrsPage);
        QCOMPARE(rig.texts({"lineEdit_device_mainValMax", "comboBox_device_measureV1", "lineEdit_secsor_intervalHi",
                            "lineEdit_device_writeProtection"}),
                 QStringList({"100", "кПа", "2500", "Выключена"}));
        QVERIFY(rig.find<QPushButton>(write)->isEnabled());
        rig.find<QComboBox>("comboBox_device_measureV1")->setCurrentText("МПа");
        const QList<const char*> shown = {"lineEdit_device_mainValMax", "lineEdit_device_mainValMin",
                                          "label_measure_device_mainValMax", "lineEdit_secsor_intervalHi",
                                          "label_measure_secsor_intervalHi"};
        QCOMPARE(rig.texts(shown), QStringList({"0.1", "0", "МПа", "2500", "кПа"}));
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({44, 15, 14}));
        QCOMPARE(rig.texts(shown).mid(0, 3), QStringList({"0.1", "0", "МПа"}));

        rig.setText("lineEdit_device_demph", "0.50");
        QCOMPARE(rig.refusal(write, unchanged), QString());
        rig.setText("lineEdit_device_demph", "2");
        rig.find<QComboBox>("comboBox_device_functiuon")->setCurrentIndex(1);
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({34, 47, 15}));
        QCOMPARE(rig.sentData(47), QByteArray::fromHex("01"));
        QCOMPARE(rig.run("pushButton_setNull"), QList<int>({43}));
        QTRY_COMPARE(rig.bench.popUps().last(), QString("Ноль установлен."));

        rig.changeState([](HartTransmitterState& s) {
            s.pvUnit = 6;
            s.transferFunction = 2;
            s.writeProtect = 250;
            s.damping = NAN;
        });
        rig.run("pushButton_readParametrs");
        QCOMPARE(rig.texts({"comboBox_device_measureV1", "comboBox_device_functiuon", "lineEdit_device_writeProtection",
                            "label_measure_device_mainValMax", "lineEdit_device_demph"}),
                 QStringList({"", "", "", "", "-"}));
        QCOMPARE(rig.refusal(write, wrongCharacters, "lineEdit_device_demph"), QString());
        rig.setText("lineEdit_device_demph", "0.5");
        QCOMPARE(rig.refusal(write, wrongCharacters, "comboBox_device_measureV1"), QString());
        QCOMPARE(int(rig.device().hartEditedData()->pvUnit), 237);
        rig.find<QComboBox>("comboBox_device_measureV1")->setCurrentText("кПа");
        QCOMPARE(rig.text("lineEdit_device_mainValMax"), QString("0.1"));
        rig.changeState([](HartTransmitterState& s) { s.writeProtect = 0; });
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({44, 34, 15}));
        QCOMPARE(rig.sentData(34), QByteArray::fromHex("3F000000"));
    }

    // Before any read the page shows nothing of a transmitter: no unit, no transfer function, empty
    // fields, and no write to press.
    void parametersPageAsBuilt()
    {
        TabHartParametrs page;
        for (const char* combo : {"comboBox_device_functiuon", "comboBox_device_measureV1", "comboBox_device_measureV2",
                                  "comboBox_device_measureV3", "comboBox_device_measureV4"})
            QVERIFY2(requireChild<QComboBox>(&page, combo)->currentIndex() == -1, combo);
        for (const char* field : {"lineEdit_device_mainValMax", "lineEdit_device_mainValMin", "lineEdit_device_demph",
                                  "lineEdit_device_writeProtection", "lineEdit_secsor_serialNumber"})
            QVERIFY2(requireChild<QLineEdit>(&page, field)->text().isEmpty(), field);
        QVERIFY(!requireChild<QPushButton>(&page, write)->isEnabled());
    }

    void parametrsWrites_data()
    {
        QTest::addColumn<float>("lower");
        QTest::addColumn<float>("upper");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("transmitter");
        QTest::addColumn<QString>("calibrator");
        const QString asRead = "кПа 0..1600 кПа";
        const auto row = [](const char* name, float lower, float upper, const QStringList& steps, const char* shown,
                            const QStringList& sent, const char* transmitter, const QString& calibrator) {
            QTest::newRow(name) << lower << upper << steps << QString(shown) << sent << QString(transmitter)
                                << calibrator;
        };
        // A range typed in a new unit goes in that unit; one left as converted stays with the
        // transmitter, which converts it itself.
        row("new unit, range typed", 0, 100, {"unit мБар", "max 100"}, "0..100", {"44:08", "35:0842c8000000000000"},
            "0..100 мБар, 0.5 s, function 0", "мбар 0..10 кПа");
        row("new unit, range untouched", 0, 100, {"unit мБар"}, "0..1000", {"44:08"},
            "0..1000 мБар, 0.5 s, function 0", "мбар 0..1600 кПа");
        row("new unit, shown number typed again", 0, 100, {"unit мБар", "max 1000.0", "min 0"}, "0..1000.0",
            {"44:08"}, "0..1000 мБар, 0.5 s, function 0", "мбар 0..1600 кПа");
        row("new unit, only the minimum", 0, 100, {"unit МПа", "min 0.01"}, "0.01..0.1",
            {"44:ed", "35:ed3dcccccd3c23d70a"}, "0.01..0.1 МПа, 0.5 s, function 0", "МПа 10..100 кПа");
        row("new unit, only the maximum", 0, 100, {"unit Бар", "max 2"}, "0..2", {"44:07", "35:074000000000000000"},
            "0..2 Бар, 0.5 s, function 0", "бар 0..200 кПа");
        row("range typed, then a new unit", 0, 100, {"max 200", "unit мБар"}, "0..2000",
            {"44:08", "35:0844fa000000000000"}, "0..2000 мБар, 0.5 s, function 0", "мбар 0..200 кПа");
        row("new unit and back", 0, 100, {"unit МПа", "unit кПа"}, "0..100", {}, "0..100 кПа, 0.5 s, function 0",
            asRead);
        row("typed, then read again", 0, 100, {"max 200", "read"}, "0..100", {}, "0..100 кПа, 0.5 s, function 0",
            asRead);
        row("below 0, new unit, minimum typed", -50, 150, {"unit МПа", "min -0.02"}, "-0.02..0.15",
            {"44:ed", "35:ed3e19999abca3d70a"}, "-0.02..0.15 МПа, 0.5 s, function 0", "МПа -20..150 кПа");
        row("below 0, new unit, untouched", -50, 150, {"unit мБар"}, "-500..1500", {"44:08"},
            "-500..1500 мБар, 0.5 s, function 0", "мбар 0..1600 кПа");
        row("below 0, same unit, maximum typed", -50, 150, {"max 120"}, "-50..120", {"35:0c42f00000c2480000"},
            "-50..120 кПа, 0.5 s, function 0", "кПа -50..120 кПа");
        // Each field alone and in pairs, in the same unit.
        row("minimum", 0, 100, {"min 10"}, "10..100", {"35:0c42c8000041200000"}, "10..100 кПа, 0.5 s, function 0",
            "кПа 10..100 кПа");
        row("maximum", 0, 100, {"max 250"}, "0..250", {"35:0c437a000000000000"}, "0..250 кПа, 0.5 s, function 0",
            "кПа 0..250 кПа");
        row("damping", 0, 100, {"damping 2"}, "0..100", {"34:40000000"}, "0..100 кПа, 2 s, function 0", asRead);
        row("function", 0, 100, {"function 1"}, "0..100", {"47:01"}, "0..100 кПа, 0.5 s, function 1", asRead);
        row("unit", 0, 100, {"unit Па"}, "0..100000", {"44:0b"}, "0..100000 Па, 0.5 s, function 0",
            "Па 0..1600 кПа");
        row("minimum and maximum", 0, 100, {"min 10", "max 90"}, "10..90", {"35:0c42b4000041200000"},
            "10..90 кПа, 0.5 s, function 0", "кПа 10..90 кПа");
        row("minimum and damping", 0, 100, {"min 10", "damping 1"}, "10..100",
            {"35:0c42c8000041200000", "34:3f800000"}, "10..100 кПа, 1 s, function 0", "кПа 10..100 кПа");
        row("minimum and function", 0, 100, {"min 10", "function 1"}, "10..100", {"35:0c42c8000041200000", "47:01"},
            "10..100 кПа, 0.5 s, function 1", "кПа 10..100 кПа");
        row("maximum and damping", 0, 100, {"max 90", "damping 0"}, "0..90", {"35:0c42b4000000000000", "34:00000000"},
            "0..90 кПа, 0 s, function 0", "кПа 0..90 кПа");
        row("maximum and function", 0, 100, {"max 90", "function 1"}, "0..90", {"35:0c42b4000000000000", "47:01"},
            "0..90 кПа, 0.5 s, function 1", "кПа 0..90 кПа");
        row("damping and function", 0, 100, {"damping 3", "function 1"}, "0..100", {"34:40400000", "47:01"},
            "0..100 кПа, 3 s, function 1", asRead);
        row("unit and damping", 0, 100, {"unit МПа", "damping 1"}, "0..0.1", {"44:ed", "34:3f800000"},
            "0..0.1 МПа, 1 s, function 0", "МПа 0..1600 кПа");
        row("unit and function", 0, 100, {"function 1", "unit Атм"}, "0..0.986923", {"44:0e", "47:01"},
            "0..0.986923 Атм, 0.5 s, function 1", "АТМ 0..1600 кПа");
        row("unit, both limits", 0, 100, {"unit Атм", "min 0.5", "max 2"}, "0.5..2",
            {"44:0e", "35:0e400000003f000000"}, "0.5..2 Атм, 0.5 s, function 0", "АТМ 50.6625..202.65 кПа");
        // Each unit, the range left as converted and a maximum typed in it: the transmitter and the
        // calibrator take it in that unit.
        const struct
        {
            const char* unit;
            const char* code;
            const char* shown;
            const char* converted;
            const char* calibrator;
        } units[] = {
            {"Па", "0b", "0..100000", "0..100000", "Па 0..0.05 кПа"},
            {"кПа", "0c", "0..100", "0..100", "кПа 0..50 кПа"},
            {"МПа", "ed", "0..0.1", "0..0.1", "МПа 0..50000 кПа"},
            {"кгс/см2", "0a", "0..1.01972", "0..1.019716", "кг/см2 0..4903.325 кПа"},
            {"кгс/м2", "b0", "0..10197.2", "0..10197.162", "кг/м2 0..0.490333 кПа"},
            {"мм рт. ст.", "05", "0..750.064", "0..750.0638", "мм рт.ст. 0..6.666099 кПа"},
            {"мм вод. ст.", "ef", "0..10197.2", "0..10197.162", "мм вод.ст. 0..0.490333 кПа"},
            {"мБар", "08", "0..1000", "0..1000", "мбар 0..5 кПа"},
            {"Бар", "07", "0..1", "0..1", "бар 0..5000 кПа"},
            {"Атм", "0e", "0..0.986923", "0..0.986923", "АТМ 0..5066.25 кПа"},
        };
        for (const auto& unit : units) {
            const QString code = unit.code;
            const QStringList typed = {"35:" + code + "4248000000000000"};
            const QStringList sent = code == "0c" ? typed : QStringList{"44:" + code} + typed;
            const QString name = unit.unit;
            QTest::addRow("%s untouched", unit.unit)
                << 0.0f << 100.0f << QStringList{"unit " + name} << QString(unit.shown)
                << (code == "0c" ? QStringList() : QStringList{"44:" + code})
                << QStringLiteral("%1 %2, 0.5 s, function 0").arg(unit.converted, name)
                << QStringLiteral("%1 0..1600 кПа").arg(QString(unit.calibrator).section(' ', 0, -3));
            QTest::addRow("50 in %s", unit.unit)
                << 0.0f << 100.0f << QStringList{"unit " + name, "max 50"} << QStringLiteral("0..50") << sent
                << QStringLiteral("0..50 %1, 0.5 s, function 0").arg(name) << QString(unit.calibrator);
        }
    }

    // A write on the parameters page against the transmitter's range in kPa: what the range fields
    // show before it, the HART commands with their data, and what the transmitter and the
    // calibrator end with. The range goes when it differs from what the page showed in its unit.
    void parametrsWrites()
    {
        QFETCH(float, lower);
        QFETCH(float, upper);
        QFETCH(QStringList, steps);
        QFETCH(QString, shown);
        QFETCH(QStringList, sent);
        QFETCH(QString, transmitter);
        QFETCH(QString, calibrator);
        HartSubPageRig rig;
        rig.changeState([&](HartTransmitterState& s) {
            s.lowerRangeValue = lower;
            s.upperRangeValue = upper;
        });
        QVERIFY(readCalibratorSettings(rig));
        rig.showSubPage(ParametrsPage);
        for (const QString& step : steps)
            operateParametrs(rig, step);
        QCOMPARE(rig.text("lineEdit_device_mainValMin") + ".." + rig.text("lineEdit_device_mainValMax"), shown);
        if (sent.isEmpty()) {
            QCOMPARE(rig.refusal(write, unchanged), QString());
        } else {
            const int before = rig.bench.popUps().size();
            writeParametrsOnce(rig);
            QCOMPARE(rig.bench.popUps().mid(before), QStringList());
            const QStringList readBack = {"15:", "14:", "1:"};
            QCOMPARE(hartRequests(rig), sent + readBack);
        }
        QCOMPARE(transmitterOutput(rig.transmitter().state()), transmitter);
        QCOMPARE(calibratorRange(calibratorImage(rig)), calibrator);
        QCOMPARE(calibratorRange(*rig.device().deviceSettings()), calibrator);
        if (!sent.isEmpty()) {
            const HartTransmitterState s = rig.transmitter().state();
            const QStringList held = {floatToText(s.lowerRangeValue), floatToText(s.upperRangeValue),
                                      hartUnitText(s.pvUnit)};
            QCOMPARE(rig.texts({"lineEdit_device_mainValMin", "lineEdit_device_mainValMax", "comboBox_device_measureV1"}),
                     held);
        }
    }

    void calibratorUpdate_data()
    {
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QString>("held");
        const QString failed = "При записи параметров произошла ошибка!";
        const QString hartFailed = "При записи параметров HART в ЗФН произошла ошибка!";
        const QString asRead = "кПа 0..1600";
        QTest::newRow("taken") << QStringList() << QStringList() << "МПа 0..0.16";
        QTest::newRow("register 16 refused") << QStringList{"11;16"} << QStringList{failed, hartFailed} << asRead;
        QTest::newRow("register 48 refused") << QStringList{"11;48"} << QStringList{failed, hartFailed}
                                             << "МПа 0..0.16";
        QTest::newRow("closing write refused") << QStringList{"11;49"} << QStringList{failed, hartFailed}
                                               << "МПа 0..0.16";
        QTest::newRow("both parts refused") << QStringList{"11;16", "11;48"}
                                            << QStringList{failed, failed, hartFailed} << asRead;
    }

    // A range and unit written to the transmitter go on to the calibrator; the device's settings
    // block and the settings page take only what the calibrator took, so that the page's next
    // "Записать" sends what the calibrator holds, and a refusal is told.
    void calibratorUpdate()
    {
        QFETCH(QStringList, refused);
        QFETCH(QStringList, told);
        QFETCH(QString, held);
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.upperRangeValue = 100.0f; });
        QVERIFY(readCalibratorSettings(rig));
        QCOMPARE(settingsPageRange(rig), QString("кПа 0..1600"));
        rig.showSubPage(ParametrsPage);
        for (const QString& prefix : refused)
            rig.bench.emulator().setStatusReply(prefix, 3);
        operateParametrs(rig, "unit МПа");
        operateParametrs(rig, "max 0.16");
        const int before = rig.bench.popUps().size();
        QCOMPARE(rig.run(write), QList<int>({44, 35, 15, 14, 1}));
        QCOMPARE(rig.bench.popUps().mid(before), told);
        QCOMPARE(transmitterOutput(rig.transmitter().state()), QString("0..0.16 МПа, 0.5 s, function 0"));
        const DeviceSettings calibrator = calibratorImage(rig);
        const DeviceSettings device = *rig.device().deviceSettings();
        QCOMPARE(device.imageHex(0, 50), calibrator.imageHex(0, 50));
        QTRY_COMPARE_WITH_TIMEOUT(settingsPageRange(rig), held, BoundedWait::stepMs);
        rig.bench.emulator().clearStatusReplies();
        QCOMPARE(settingsPageWrite(rig).toHex(), calibrator.imageHex(0, 50).toLower());
    }

    void numberTexts_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.1") << 0.1f << "0.1";
        QTest::newRow("100.05") << 100.05f << "100.05";
        QTest::newRow("6.3001") << 6.3001f << "6.3001";
        QTest::newRow("-0.5") << -0.5f << "-0.5";
        QTest::newRow("eight digits") << 12.345678f << "12.345678";
        QTest::newRow("past six decimals") << 1234.5678f << "1234.5677";
        QTest::newRow("one millionth") << 0.000001f << "0.000001";
        QTest::newRow("below six decimals") << 0.0000004f << "0";
        QTest::newRow("below six decimals, negative") << -0.0000004f << "0";
        QTest::newRow("ten million") << 1.0e7f << "10000000";
        QTest::newRow("NaN") << float(NAN) << "-";
    }

    // A float of the transmitter shows the digits it holds, to six decimals at most, on the
    // parameters page and the device-specific page alike.
    void numberTexts()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        HartSubPageRig rig;
        rig.changeState([value](HartTransmitterState& s) {
            s.upperRangeValue = s.lowerRangeValue = s.damping = value;
            s.sensorUpperLimit = s.sensorLowerLimit = s.minimumSpan = value;
            s.alarmCurrentLow = s.alarmCurrentHigh = s.sqrtHysteresisWidth = s.scaleShiftB = value;
        });
        rig.showSubPage(ParametrsPage);
        const QList<const char*> parametrs = {"lineEdit_device_mainValMax", "lineEdit_device_mainValMin",
                                              "lineEdit_device_demph",      "lineEdit_secsor_intervalHi",
                                              "lineEdit_secsor_intervalLow", "lineEdit_secsor_intervalMin"};
        const auto everyField = [&text](const QList<const char*>& fields) {
            QStringList texts;
            for (int i = 0; i < fields.size(); ++i)
                texts << text;
            return texts;
        };
        QCOMPARE(rig.texts(parametrs), everyField(parametrs));
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        auto* pages = requireChild<QTabWidget>(rig.tab, "tabWidget");
        pages->setCurrentIndex(SpecificPage);
        QVERIFY(finished.wait(BoundedWait::jobMs));
        rig.scope = pages->currentWidget();
        const QList<const char*> specific = {"lineEdit_currentErrorValueLo", "lineEdit_currentErrorValueHi",
                                             "lineEdit_gysteresisWidth", "lineEdit_scaleShiftCurrent"};
        QCOMPARE(rig.texts(specific), everyField(specific));
    }

    // Each group follows its own support flag and a write sends only the changed group (the
    // transmitter's own cut-off is on the page's list, so a write needs no pick there); the
    // two-point trim against the polled reference pressure, each point advancing only on its
    // acceptance; trim reset and factory restore, each told in a box.
    void specificPage()
    {
        HartSubPageRig rig;
        rig.transmitter().setResponseCode(145, 64);
        rig.bench.emulator().setValue("1", "50.25");
        rig.changeState([](HartTransmitterState& s) {
            s.alarmCurrentLow = 3.5f;
            s.alarmCurrentHigh = 24.0f;
        });
        rig.showSubPage(SpecificPage);
        for (const char* group : {"groupBox_outputSingnal", "groupBox_squareDependence", "groupBox_indicationParametrs",
                                  "groupBox_protection", "lineEdit_scaleShiftCurrent"})
            QVERIFY2(rig.find<QWidget>(group)->isEnabled(), group);
        QVERIFY(!rig.find<QLineEdit>("lineEdit_scaleShiftP")->isEnabled());
        QCOMPARE(rig.texts({"lineEdit_password", "comboBox_cutoffEgde", "label_text_scaleShiftMeasure"}),
                 QStringList({"0-0-0-0", "0.25", "(кПа)"}));
        QCOMPARE(rig.refusal(write, unchanged), QString());
        rig.setText("lineEdit_currentErrorValueLo", "3.6");
        rig.setText("lineEdit_scaleShiftCurrent", "0.5");
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({129, 148, 1}));
        QCOMPARE(rig.bench.popUps().size(), 1);
        QCOMPARE(rig.sentData(129), QByteArray::fromHex("01004066666641C00000"));
        rig.setText("lineEdit_password", "12");
        QCOMPARE(rig.refusal(write, g_msgWrongFieldData, "lineEdit_password"), QString());
        rig.setText("lineEdit_password", "0123");
        rig.run(write);
        QCOMPARE(rig.sentData(135), QByteArray::fromHex("007B01"));

        QCOMPARE(rig.run("pushButton_trimByTwoPoints"), QList<int>({81, 80}));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgLowPoint);
        QCOMPARE(rig.texts({"label_measure_trimLow", "pushButton_trimByTwoPoints"}), QStringList({"кПа", "Далее"}));
        // A module unit outside the table gives no pressure to insert.
        QTest::qWait(700);
        QVERIFY(!rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled());
        {
            QMutexLocker lock(rig.device().mutex());
            rig.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
        }
        QTRY_COMPARE(rig.text("label_zfnPvalue"), QString("50.25"));
        QTRY_VERIFY(rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled());
        rig.find<QPushButton>("pushButton_setZfnValue")->click();
        QCOMPARE(rig.text("lineEdit_trimLow"), QString("50.25"));
        rig.transmitter().setResponseCode(82, 9);
        rig.run("pushButton_trimByTwoPoints");
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimLow")->isEnabled());
        rig.transmitter().setResponseCode(82, 0);
        rig.run("pushButton_trimByTwoPoints");
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00010C42490000"));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgHighPoint);
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimHi")->isEnabled());
        rig.setText("lineEdit_trimHi", "900");
        rig.run("pushButton_trimByTwoPoints");
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00020C44610000"));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgDone);
        QCOMPARE(rig.text("pushButton_trimByTwoPoints"), QString("Подстройка"));
        QTest::qWait(100);
        QVERIFY(!rig.tab->specificPage()->pressurePoller()->isRunning());

        const int told = rig.bench.popUps().size();
        QCOMPARE(rig.run("pushButton_trimClear"), QList<int>({83}));
        QCOMPARE(rig.run("pushButton_restoreParametrs").first(), 136);
        // The reset transmitter is found again and its changed flag cleared silently.
        QTRY_COMPARE(rig.bench.popUps().mid(told), QStringList({"Сброс коэффициентов подстройки прошел успешно",
                                                                "Заводские настройки успешно установлены.",
                                                                "HART-устройсво перезагружено."}));
    }

    void referencePressureDigits_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<int>("moduleUnit");
        QTest::addColumn<QString>("inKpa");
        QTest::newRow("6.3001 МПа") << "6.3001" << 2 << "6300.1";
        QTest::newRow("0.6301 МПа") << "0.6301" << 2 << "630.1";
        QTest::newRow("0.2501 МПа") << "0.2501" << 2 << "250.1";
        QTest::newRow("4.07 бар") << "4.07" << 8 << "407";
        QTest::newRow("9.99 мбар") << "9.99" << 7 << "0.999";
        QTest::newRow("2.59 атм") << "2.59" << 9 << "262.43175";
    }

    // The reference module's pressure, a float in its own unit, reaches the two-point trim in the
    // transmitter's unit with the digits it has there: shown, and inserted into the trim point.
    void referencePressureDigits()
    {
        QFETCH(QString, reference);
        QFETCH(int, moduleUnit);
        QFETCH(QString, inKpa);
        HartSubPageRig rig;
        rig.bench.emulator().setValue("1", reference);
        rig.showSubPage(SpecificPage);
        {
            QMutexLocker lock(rig.device().mutex());
            rig.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] =
                quint8(moduleUnit + DeviceSettings::UnitCodeOffset);
        }
        QCOMPARE(rig.run("pushButton_trimByTwoPoints"), QList<int>({81, 80}));
        QCOMPARE(rig.text("label_measure_trimLow"), QString("кПа"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled(), BoundedWait::stepMs);
        QCOMPARE(rig.text("label_zfnPvalue"), QString::number(inKpa.toDouble(), 'g', 6));
        rig.find<QPushButton>("pushButton_setZfnValue")->click();
        QCOMPARE(rig.text("lineEdit_trimLow"), inKpa);
        rig.find<QPushButton>("pushButton_trimStop")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.tab->specificPage()->pressurePoller()->isRunning(), BoundedWait::stepMs);
    }

    // Each variant shows its own protection fields and writes what they hold: the no-password type
    // keeps the password it reported; with write protection "off" sends password 0, and the
    // reported one reads as "on".
    void deviceVariants()
    {
        for (const DeviceVariant& variant : variants) {
            HartSubPageRig rig(HartVariant::Family, variant.typeKey);
            rig.changeState([](HartTransmitterState& s) {
                s.menuPassword = 4321;
                s.reedZeroing = 1;
            });
            rig.showSubPage(SpecificPage);
            for (const char* name : variant.shown)
                QVERIFY2(rig.find<QWidget>(name)->isVisibleTo(rig.scope), name);
            for (const char* name : variant.hidden)
                QVERIFY2(!rig.find<QWidget>(name)->isVisibleTo(rig.scope), name);
            if (variant.typeKey == hartTypeWriteProtection)
                QCOMPARE(rig.find<QComboBox>("comboBox_writeProtection")->currentIndex(), 1);
            rig.find<QComboBox>(variant.combo)->setCurrentIndex(variant.index);
            rig.run(write);
            QCOMPARE(rig.sentData(135).toHex(), QByteArray(variant.written));
        }
    }

    // Another maker's transmitter is asked nothing device-specific; the page offers nothing to write.
    void aForeignTransmitter()
    {
        HartSubPageRig rig(HartVariant::Foreign);
        rig.showSubPage(SpecificPage);
        auto* output = rig.find<QGroupBox>("groupBox_outputSingnal");
        QVERIFY(!output->isEnabled());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_scaleShiftCurrent")->isEnabledTo(output));
        QVERIFY(!rig.find<QGroupBox>("groupBox_protection")->isVisibleTo(rig.tab->specificPage()));
        QVERIFY(!rig.find<QGroupBox>("groupBox_trimByTwoPoints")->isVisibleTo(rig.tab->specificPage()));
        QVERIFY(!rig.find<QPushButton>(write)->isEnabled());
        QVERIFY(!rig.find<QPushButton>("pushButton_restoreParametrs")->isEnabled());
    }

    // Only a 4-20 mA output at address 0 may be fixed. A typed current is checked against the
    // output's range; a set current is measured by the calibrator until the transmitter leaves
    // fixed current mode. The low row: fixed 4 mA, the measured current inserted, trimmed by
    // command 45, then the row is idle again; a refused command 40 arms nothing.
    void currentOutputPage()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.currentOutputType = 0; });
        rig.showSubPage(CurrentOutputPage);
        auto* page = rig.tab->currentOutputPage();
        QVERIFY(!page->isEnabled());
        QVERIFY(rig.find<QLabel>("label_warn_only_5_20")->isVisible());
        QVERIFY(!rig.find<QLabel>("label_deviceInMultidropMode")->isVisible());
        rig.changeState([](HartTransmitterState& s) { s.currentOutputType = 1; });
        rig.tab->updateTab();
        QTRY_VERIFY(page->isEnabled());

        QCOMPARE(rig.refusal("pushButton_setFixedCurrentMode", "Заначение тока не выбрано!"), QString());
        rig.find<QRadioButton>("radioButton_another")->click();
        for (const char* current : {"0.0", "23.01", "3.49"}) {
            rig.setText("lineEdit_staticValue", current);
            QCOMPARE(rig.refusal("pushButton_setFixedCurrentMode", outOfRange), QString());
        }
        rig.setText("lineEdit_staticValue", "");
        QCOMPARE(rig.refusal("pushButton_setFixedCurrentMode", g_msgWrongFieldData, "lineEdit_staticValue"), QString());
        rig.setText("lineEdit_staticValue", "23");
        QCOMPARE(rig.run("pushButton_setFixedCurrentMode"), QList<int>({40}));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("41B80000"));
        auto* display = rig.find<QWidget>("widget_zfnCurrent");
        QTRY_VERIFY(display->isVisible());
        QCOMPARE(rig.text("label_zfnCurrent"), QString("23"));
        rig.run("pushButton_unsetFixedCurrentMode");
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("00000000"));
        QTRY_VERIFY(!display->isVisible());
        QVERIFY(!page->currentPoller()->isRunning());
        QVERIFY(rig.device().portOwner()->isFree());

        rig.changeState([](HartTransmitterState& s) { s.dacShift = 0.02; });
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QVERIFY(rig.text("lineEdit_valueLow").isEmpty());
        rig.run("pushButton_setFixedLow");
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("40800000"));
        QVERIFY(rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(!rig.find<QPushButton>("pushButton_setFixedHi")->isEnabled());
        QTRY_VERIFY(display->isVisible());
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QCOMPARE(rig.text("lineEdit_valueLow"), QString("4.02"));
        QCOMPARE(rig.run("pushButton_trimLo"), QList<int>({45, 40}));
        QCOMPARE(rig.sentData(45), QByteArray::fromHex("4080A3D7"));
        QVERIFY(!rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(rig.find<QPushButton>("pushButton_setFixedLow")->isVisible());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_valueLow")->isEnabled());
        QTRY_VERIFY(!display->isVisible());
        rig.transmitter().setResponseCode(40, 7);
        rig.run("pushButton_setFixedHi");
        QVERIFY(!rig.find<QPushButton>("pushButton_stopTrimHi")->isVisible());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_valueHi")->isEnabled());
        QTest::qWait(100);
        QVERIFY(!page->currentPoller()->isRunning());

        // An address other than 0, read again from the calibrator.
        rig.changeState([](HartTransmitterState& s) { s.pollingAddress = 3; });
        rig.scope = rig.tab->informationPage();
        rig.find<QPushButton>("pushButton_updateAdress")->click();
        rig.scope = page;
        rig.tab->updateTab();
        QTRY_VERIFY(rig.find<QLabel>("label_deviceInMultidropMode")->isVisible());
        QVERIFY(!page->isEnabled());
        QVERIFY(!rig.find<QLabel>("label_warn_only_5_20")->isVisible());
    }

    // Only a 4-20 or 20-4 mA output at polling address 0 may be fixed and trimmed, whatever its
    // transfer function; a transmitter without the output command, or with an output code it does
    // not know, counts as 4-20 mA. Any other output or address leaves nothing to use and says why.
    void currentOutputControls_data()
    {
        QTest::addColumn<HartVariant>("variant");
        QTest::addColumn<int>("outputType");
        QTest::addColumn<int>("transferFunction");
        QTest::addColumn<int>("address");
        QTest::addColumn<QStringList>("usable");
        const QStringList fixable{"pushButton_setFixedCurrentMode", "pushButton_setFixedHi", "pushButton_setFixedLow",
                                  "pushButton_unsetFixedCurrentMode", "radioButton_another", "radioButton_value_1",
                                  "radioButton_value_2", "radioButton_value_3", "radioButton_value_4",
                                  "radioButton_value_5", "radioButton_value_6", "radioButton_value_7"};
        const QStringList notFourTwenty{"label_warn_only_5_20"};
        const QStringList multidrop{"label_deviceInMultidropMode"};
        const HartVariant own = HartVariant::Family;
        QTest::newRow("0-5 mA") << own << 0 << 0 << 0 << notFourTwenty;
        QTest::newRow("4-20 mA") << own << 1 << 0 << 0 << fixable;
        QTest::newRow("5-0 mA") << own << 2 << 0 << 0 << notFourTwenty;
        QTest::newRow("20-4 mA") << own << 3 << 0 << 0 << fixable;
        QTest::newRow("output code above 3") << own << 4 << 0 << 0 << fixable;
        QTest::newRow("4-20 mA, square root") << own << 1 << 1 << 0 << fixable;
        QTest::newRow("5-0 mA, square root") << own << 2 << 1 << 0 << notFourTwenty;
        QTest::newRow("no output command") << HartVariant::Foreign << 0 << 0 << 0 << fixable;
        QTest::newRow("4-20 mA at address 3") << own << 1 << 0 << 3 << multidrop;
        QTest::newRow("0-5 mA at address 3") << own << 0 << 0 << 3 << multidrop + notFourTwenty;
    }

    void currentOutputControls()
    {
        QFETCH(HartVariant, variant);
        QFETCH(int, outputType);
        QFETCH(int, transferFunction);
        QFETCH(int, address);
        QFETCH(QStringList, usable);
        HartSubPageRig rig(variant);
        rig.changeState([&](HartTransmitterState& s) {
            s.currentOutputType = quint8(outputType);
            s.transferFunction = quint8(transferFunction);
            s.pollingAddress = quint8(address);
        });
        rig.showSubPage(CurrentOutputPage);
        usable.sort();
        QCOMPARE(usableControls(rig.tab->currentOutputPage()), usable);
    }

    // A refused value changes nothing: the transmitter stays at the current set before, and its
    // measurement goes on, shown and at hand for a trim row.
    void refusedValueKeepsTheMeasuredCurrent()
    {
        HartSubPageRig rig;
        rig.showSubPage(CurrentOutputPage);
        rig.find<QRadioButton>("radioButton_value_4")->click();
        QCOMPARE(rig.run("pushButton_setFixedCurrentMode"), QList<int>({40}));
        QTRY_COMPARE(rig.text("label_zfnCurrent"), QString("12"));
        rig.find<QRadioButton>("radioButton_another")->click();
        for (const char* current : {"25", "3.49"}) {
            rig.setText("lineEdit_staticValue", current);
            QCOMPARE(refusalWhileMeasuring(rig, "pushButton_setFixedCurrentMode", outOfRange), QString());
        }
        rig.setText("lineEdit_staticValue", "");
        QCOMPARE(refusalWhileMeasuring(rig, "pushButton_setFixedCurrentMode", g_msgWrongFieldData), QString());
        rig.changeState([](HartTransmitterState& s) { s.dacShift = 0.02; });
        QTRY_COMPARE(rig.text("label_zfnCurrent"), QString("12.02"));

        rig.run("pushButton_setFixedHi");
        QTRY_COMPARE(rig.text("label_zfnCurrent"), QString("20.02"));
        rig.setText("lineEdit_valueHi", "23.5");
        QCOMPARE(refusalWhileMeasuring(rig, "pushButton_trimHi", outOfRange), QString());
        rig.setText("lineEdit_valueHi", "");
        QCOMPARE(refusalWhileMeasuring(rig, "pushButton_trimHi", g_msgWrongFieldData), QString());
        QCOMPARE(rig.window->focusWidget(), rig.find<QWidget>("lineEdit_valueHi"));
        rig.find<QPushButton>("pushButton_setZfnValHi")->click();
        QCOMPARE(rig.text("lineEdit_valueHi"), QString("20.02"));
        QCOMPARE(rig.run("pushButton_stopTrimHi"), QList<int>({40}));
        QTRY_VERIFY(!rig.find<QWidget>("widget_zfnCurrent")->isVisible());
    }

    // Without command 45 the transmitter is trimmed through its output coefficients, which need
    // both measured currents and a read of the present ones.
    void coefficientTrim()
    {
        HartSubPageRig rig(HartVariant::NoCurrentTrim);
        rig.showSubPage(CurrentOutputPage);
        rig.run("pushButton_setFixedLow");
        rig.setText("lineEdit_valueLow", "4.1");
        QCOMPARE(rig.run("pushButton_trimLo"), QList<int>({45}));
        QCOMPARE(rig.bench.popUps().size(), 1);
        rig.setText("lineEdit_valueHi", "19.9");
        rig.run("pushButton_setFixedLow");
        rig.setText("lineEdit_valueLow", "4.1");
        QCOMPARE(rig.run("pushButton_trimLo"), QList<int>({45, 40, 122, 123, 40}));
        QCOMPARE(rig.bench.popUps().size(), 1);
        rig.run("pushButton_setFixedLow");
        rig.setText("lineEdit_valueLow", "23.5");
        QCOMPARE(refusalWhileMeasuring(rig, "pushButton_trimLo", outOfRange), QString());
    }

    // A poll slot that asked to stop still holds the port until its loop has left.
    void stopAfterRequestStopWaitsForThePort()
    {
        DeviceTestBench bench;
        ParametrPoller poller;
        std::atomic<bool> entered{false};
        poller.connectPollSignal(&poller, [&] {
            poller.requestStop();
            entered = true;
            QThread::msleep(200);
        });
        poller.start();
        QTRY_VERIFY(entered);
        poller.stop();
        QVERIFY(!poller.isRunning());
        QVERIFY(bench.device().portOwner()->isFree());
    }
    // The transfer functions and units offered with their HART codes; each written and read back.
    void parametersPageLists()
    {
        HartSubPageRig rig;
        rig.showSubPage(ParametrsPage);
        const ChoiceList function = {"comboBox_device_functiuon", {"Линейная", "Корнеизвлекающая"}, {0, 1}, 47, 0,
                                     {"00", "01"}};
        const ChoiceList unit = {"comboBox_device_measureV1",
                                 {"Па", "кПа", "МПа", "кгс/см2", "кгс/м2", "мм рт. ст.", "мм вод. ст.", "мБар", "Бар", "Атм"},
                                 {11, 12, 237, 10, 176, 5, 239, 8, 7, 14},
                                 44,
                                 0,
                                 {"0b", "0c", "ed", "0a", "b0", "05", "ef", "08", "07", "0e"}};
        QCOMPARE(comboListMismatch(rig.find<QComboBox>(function.combo), function.combo, function.texts, function.codes), QString());
        for (const char* combo : {"comboBox_device_measureV1", "comboBox_device_measureV2", "comboBox_device_measureV3",
                                  "comboBox_device_measureV4"})
            QCOMPARE(comboListMismatch(rig.find<QComboBox>(combo), combo, unit.texts, unit.codes), QString());
        QCOMPARE(writeEachChoice(rig, {function, unit}), QString());
    }

    // The device-specific lists with their codes or texts; each choice written in its command's
    // bytes and read back. The write-protection type trades the password for its on/off list.
    void specificPageLists()
    {
        const QList<ChoiceList> lists = {
            {"comboBox_cuttentOutputType", {"0-5", "4-20", "5-0", "20-4"}, {0, 1, 2, 3}, 129, 0,
             {"00", "01", "02", "03"}},
            {"comboBox_currentErrorLevel", {"низкий", "высокий", "выключен", "двойной"}, {0, 1, 2, 3}, 129, 1,
             {"00", "01", "02", "03"}},
            {"comboBox_linearisationEdge", {"0", "0.5", "1", "2", "3"}, {}, 131, 0,
             {"00000000", "3f000000", "3f800000", "40000000", "40400000"}},
            {"comboBox_cutoffEgde", {"0", "0.25", "1", "2.25", "4"}, {}, 131, 4,
             {"00000000", "3e800000", "3f800000", "40100000", "40800000"}},
            {"comboBox_numAfterPoint", {"0", "1", "2", "3"}, {}, 133, 1, {"00", "01", "02", "03"}},
            {"comboBox_indicationMode", {"давление", "% от диапазона", "мА"}, {0, 1, 2}, 133, 2, {"00", "01", "02"}},
        };
        const ChoiceList byReed = {"comboBox_nullPaswordByGercon", permissionTexts, {0, 1}, 135, 2, {"00", "01"}, 0x01};
        const ChoiceList byButtonList = {byButton, permissionTexts, {0, 1}, 135, 2, {"00", "02"}, 0x02};
        const ChoiceList onOff = {protection, {"Выключена", "Включена"}, {0, 1}, 135, 0, {"0000", "0001"}};
        {
            HartSubPageRig rig(HartVariant::Family, hartTypeButtonZeroing);
            rig.changeState([](HartTransmitterState& s) { s.sqrtCutoffThreshold = 0.25f; });
            rig.showSubPage(SpecificPage);
            for (const ChoiceList& list : lists + QList<ChoiceList>{byReed, byButtonList, onOff})
                QCOMPARE(comboListMismatch(rig.find<QComboBox>(list.combo), list.combo, list.texts, list.codes), QString());
            QCOMPARE(writeEachChoice(rig, lists + QList<ChoiceList>{byReed, byButtonList}), QString());
        }
        HartSubPageRig rig(HartVariant::Family, hartTypeWriteProtection);
        rig.changeState([](HartTransmitterState& s) { s.sqrtCutoffThreshold = 0.25f; });
        rig.showSubPage(SpecificPage);
        QCOMPARE(writeEachChoice(rig, {onOff, byReed}), QString());
    }

    // The rows of the status pop-up, lamp by lamp, and of the additional status page.
    void statusTexts()
    {
        HartStatusWidget bar;
        QStringList popUpRows;
        for (const QLabel* row : bar.popUp()->findChildren<QLabel*>())
            popUpRows << row->text();
        QCOMPARE(popUpRows, QStringList({"Серьезная неисправность прибора", "Конфигурация изменена",
                                         "Пропадало питание", "Доступен дополнительный статус",
                                         "Установлен фиксированный ток", "Токовый выход в насыщении",
                                         "Измеренное значение одной из вторичных переменных вне допустимых пределов",
                                         "Измеренное значение первичной переменной вне допустимых пределов"}));

        TabHartxAditionalStatus page(nullptr);
        auto* grid = page.findChild<QGridLayout*>("gridLayout");
        QStringList pageRows;
        for (const HartStatusElement* lamp : page.lamps()) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(const_cast<HartStatusElement*>(lamp)), &row, &column, &rowSpan,
                                  &columnSpan);
            pageRows << QStringLiteral("%1 %2").arg(lamp->id()).arg(
                qobject_cast<QLabel*>(grid->itemAtPosition(row, column + 1)->widget())->text());
        }
        QCOMPARE(pageRows, QStringList({"0 Выход за диапазон одной из переменных прибора.", "1 Пропадало питание.",
                                        "2 Прибор требует поверки или обслуживания.",
                                        "3 Прибор в режиме симуляции. Выход прибора не связан с измеряемой величиной.",
                                        "4 ПЗУ прибора содержит ошибки.", "5 ОЗУ прибора содержит ошибки.",
                                        "6 Сработал сторожевой таймер - прибор перезагружен.",
                                        "7 Напряжение питания прибора вне допустимых пределов.",
                                        "8 Температура прибора в недопустимых пределах.",
                                        "9 Дефект электронного блока прибора."}));
    }

    // The preset currents, each named on its button and sent to the transmitter as it is named.
    void currentPresets()
    {
        HartSubPageRig rig;
        rig.showSubPage(CurrentOutputPage);
        const struct
        {
            const char* button;
            const char* text;
            const char* sent;
        } presets[] = {
            {"radioButton_value_1", "3.8   мА", "40733333"}, {"radioButton_value_2", "4.0   мА", "40800000"},
            {"radioButton_value_3", "8.0   мА", "41000000"}, {"radioButton_value_4", "12.0  мА", "41400000"},
            {"radioButton_value_5", "16.0  мА", "41800000"}, {"radioButton_value_6", "20.0  мА", "41a00000"},
            {"radioButton_value_7", "20.8  мА", "41a66666"},
        };
        for (const auto& preset : presets) {
            QCOMPARE(rig.text(preset.button), QString(preset.text));
            rig.find<QRadioButton>(preset.button)->click();
            QCOMPARE(rig.run("pushButton_setFixedCurrentMode"), QList<int>({40}));
            QCOMPARE(rig.sentData(40).toHex(), QByteArray(preset.sent));
        }
        rig.run("pushButton_unsetFixedCurrentMode");
    }

    // "Установить" while the current poller's read is out, with a slow transmitter: the calibrator
    // holds that read's reply until the pass-through waits for it. The pass-through goes once that
    // reply has come and takes its own, with no message, and the reads after it get their own values.
    void setCurrentRightAfterACutRead()
    {
        HartSubPageRig rig;
        CalibratorEmulator& calibrator = rig.bench.emulator();
        calibrator.setValue("1", "0.4");
        rig.showSubPage(CurrentOutputPage);
        rig.find<QRadioButton>("radioButton_value_4")->click();
        QCOMPARE(rig.run("pushButton_setFixedCurrentMode"), QList<int>({40}));
        QTRY_COMPARE(rig.text("label_zfnCurrent"), QString("12"));
        HartTransmitterOptions slow;
        slow.replyDelayMs = 900;
        rig.transmitter().setOptions(slow);
        // The emulator's thread may still be leaving the observer when the test ends.
        const auto requested = std::make_shared<QSemaphore>();
        const auto cut = std::make_shared<QSemaphore>();
        const auto armed = std::make_shared<std::atomic<bool>>(true);
        calibrator.setRequestObserver([=](const EmulatorRequest& request) {
            if (request.command == "1;5" && armed->exchange(false)) {
                requested->release();
                cut->acquire();
            }
        });
        QVERIFY(BoundedWait::until([&] { return requested->available() > 0; }));
        {
            const ExchangeLogHook owed(rig.device(), "OWED", [cut] { cut->release(); });
            const QList<int> commands = rig.run("pushButton_setFixedCurrentMode");
            cut->release();
            QCOMPARE(commands, QList<int>({40}));
        }
        calibrator.setRequestObserver({});
        QCOMPARE(rig.bench.popUps(), QStringList());
        rig.run("pushButton_unsetFixedCurrentMode");
        QCOMPARE(rig.bench.readValues({1, 5, 1}), QStringList({"0.4", "8.0000", "0.4"}));
        QCOMPARE(rig.bench.popUps(), QStringList());
    }
};

QTEST_MAIN(TestHartPages)
#include "test_hart_pages.moc"
