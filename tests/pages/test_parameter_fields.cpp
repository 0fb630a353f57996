#include "ComboBoxDelegate.h"
#include "EditField.h"
#include "HEditableEnumEdit.h"
#include "HPathEdit.h"
#include "ModelTemplates.h"
#include "ParametrDouble.h"
#include "ParametrEditableEnum.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrPath.h"
#include "ParametrString.h"
#include "ParametrTime.h"
#include "PrField.h"
#include "SerialNumberEditor.h"
#include "TestEnvironment.h"

#include <memory>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {

constexpr quint8 immediate = HAbstractParametr::OwnCaption;
constexpr quint8 deferred = HAbstractParametr::OwnCaption | HAbstractParametr::DeferredEdit;
constexpr quint8 multiLine = HAbstractParametr::OwnCaption | HAbstractParametr::TallInput;

// Item values differ from their positions, so a field that stores the position is caught.
struct Items
{
    Items()
    {
        list = {new ParametrEnumItem("соответствует", 10), new ParametrEnumItem("не соответствует", 20),
                new ParametrEnumItem("-", 30)};
    }
    ~Items() { qDeleteAll(list); }
    QList<ParametrEnumItem*> list;
};

template <typename T>
T* editorOf(const PrField& row)
{
    return qobject_cast<T*>(row.field()->editor());
}

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

class TestParameterFields : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // Each type gets its editor, and an edit reaches the committed value before the row reports it.
    void editsReachTheParametrFirst()
    {
        Items items;
        ParametrEnum choice("Выбор", &items.list, immediate);
        ParametrString text("Текст", 20, immediate);
        ParametrDouble number("Число", 0.5, 10.0, immediate);
        ParametrInt count("Счёт", 0, 10, immediate);
        ParametrEditableEnum typed("Ввод", &items.list, immediate);
        ParametrPath path("Путь", immediate);
        ParametrTime time("Время", immediate);

        PrField choiceRow(&choice), textRow(&text), numberRow(&number), countRow(&count), typedRow(&typed),
            pathRow(&path), timeRow(&time);
        QStringList seen;
        QObject::connect(&choiceRow, &PrField::changed, [&] { seen << QString::number(choice.value()); });
        QObject::connect(&textRow, &PrField::changed, [&] { seen << text.value(); });
        QObject::connect(&numberRow, &PrField::changed, [&] { seen << QString::number(number.value()); });
        QObject::connect(&countRow, &PrField::changed, [&] { seen << QString::number(count.value()); });
        QObject::connect(&pathRow, &PrField::changed, [&] { seen << path.value(); });

        editorOf<QComboBox>(choiceRow)->setCurrentIndex(1);
        editorOf<QLineEdit>(textRow)->setText("протокол");
        editorOf<QDoubleSpinBox>(numberRow)->setValue(2.5);
        editorOf<QSpinBox>(countRow)->setValue(7);
        editorOf<HPathEdit>(pathRow)->lineEdit()->setText("/tmp/шаблоны");
        QCOMPARE(seen, QStringList({"20", "протокол", "2.5", "7", "/tmp/шаблоны"}));
        QCOMPARE(choice.editedValue(), 20);

        auto* combo = editorOf<HEditableEnumEdit>(typedRow);
        QVERIFY(combo);
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemData(2).toInt(), 30);
        QVERIFY(!timeRow.field()->editor());
        QCOMPARE(timeRow.captionLabel()->text(), QString("Время"));
    }

    void deferredEditsWaitForApply()
    {
        Items items;
        ParametrInt count("Счёт", 0, 10, deferred);
        ParametrEnum choice("Выбор", &items.list, deferred);
        count.setValue(3);
        choice.setValue(10);
        PrField countRow(&count), choiceRow(&choice);
        editorOf<QSpinBox>(countRow)->setValue(8);
        editorOf<QComboBox>(choiceRow)->setCurrentIndex(2);
        QCOMPARE(count.value(), 3);
        QCOMPARE(count.editedValue(), 8);
        QCOMPARE(choice.value(), 10);
        QCOMPARE(choice.editedValue(), 30);

        count.revertEdited();
        choice.revertEdited();
        countRow.reload();
        choiceRow.reload();
        QCOMPARE(editorOf<QSpinBox>(countRow)->value(), 3);
        QCOMPARE(editorOf<QComboBox>(choiceRow)->currentIndex(), 0);

        editorOf<QSpinBox>(countRow)->setValue(9);
        count.applyEdited();
        QCOMPARE(count.value(), 9);
    }

    void multiLineTextIsCutToItsLength()
    {
        ParametrString address("Адрес", 10, multiLine);
        PrField row(&address);
        auto* edit = editorOf<QTextEdit>(row);
        QVERIFY(edit);
        edit->setPlainText("ул. Мира, 1\nкорп. 2");
        QCOMPARE(edit->toPlainText(), QString("ул. Мира, "));
        QCOMPARE(address.value(), QString("ул. Мира, "));
    }

    // A reload refills the same editor and is not taken for an edit.
    void reloadKeepsTheEditorAndReportsNothing()
    {
        Items items;
        ParametrEnum choice("Выбор", &items.list, deferred);
        ParametrString text("Текст", 20, immediate);
        ParametrString notes("Заметки", 50, multiLine);
        ParametrDouble number("Число", 0.5, 10.0, immediate);
        ParametrInt count("Счёт", 0, 10, immediate);
        PrField rows[] = {PrField(&choice), PrField(&text), PrField(&notes), PrField(&number), PrField(&count)};
        QList<QWidget*> editors;
        QList<QSharedPointer<QSignalSpy>> spies;
        for (PrField& row : rows) {
            editors << row.field()->editor();
            spies << QSharedPointer<QSignalSpy>::create(&row, &PrField::changed);
        }
        choice.setValue(30);
        text.setValue("новый");
        notes.setValue("строка 1\nстрока 2");
        number.setValue(4.25);
        count.setValue(6);
        for (PrField& row : rows)
            row.reload();
        for (int i = 0; i < editors.size(); ++i) {
            QCOMPARE(rows[i].field()->editor(), editors.at(i));
            QCOMPARE(spies.at(i)->count(), 0);
        }
        QCOMPARE(editorOf<QComboBox>(rows[0])->currentIndex(), 2);
        QCOMPARE(editorOf<QLineEdit>(rows[1])->text(), QString("новый"));
        QCOMPARE(editorOf<QTextEdit>(rows[2])->toPlainText(), QString("строка 1\nстрока 2"));
        QCOMPARE(editorOf<QDoubleSpinBox>(rows[3])->value(), 4.25);
        QCOMPARE(editorOf<QSpinBox>(rows[4])->value(), 6);

        choice.setValue(99);
        rows[0].reload();
        QCOMPARE(editorOf<QComboBox>(rows[0])->currentIndex(), -1);
    }

    void captionTakesOneSuffix()
    {
        ParametrString text("Адрес, корпус", 20, immediate);
        PrField row(&text);
        row.updateCaption("кПа");
        row.updateCaption("МПа");
        QCOMPARE(row.captionLabel()->text(), QString("Адрес, корпус, МПа"));
        QVERIFY(row.testFlag(PrField::CaptionSuffix));

        PrField bare(&text, nullptr, PrField::FieldOnly);
        bare.updateCaption("кПа");
        QVERIFY(!bare.captionLabel());
    }

    // Black takes a mark off again; a choice box never turns black.
    void marksComeAndGo()
    {
        Items items;
        ParametrString text("Текст", 20, immediate);
        ParametrEnum choice("Выбор", &items.list, immediate);
        PrField textRow(&text), choiceRow(&choice);
        const QColor normalBase = editorOf<QComboBox>(choiceRow)->palette().color(QPalette::Base);

        textRow.field()->setColor(Qt::yellow);
        choiceRow.field()->setColor(Qt::yellow);
        QCOMPARE(textRow.field()->editor()->styleSheet(), QString("background-color: rgb(255, 255, 0);"));
        QCOMPARE(editorOf<QComboBox>(choiceRow)->palette().color(QPalette::Base), QColor(Qt::yellow));

        textRow.field()->setColor(Qt::black);
        choiceRow.field()->setColor(Qt::black);
        QVERIFY(textRow.field()->editor()->styleSheet().isEmpty());
        QCOMPARE(editorOf<QComboBox>(choiceRow)->palette().color(QPalette::Base), normalBase);
    }

    void returnCommitsAndKeypadEnterDoesNot()
    {
        Items items;
        ParametrEditableEnum typed("Ввод", &items.list, immediate);
        typed.setValue("-");
        PrField row(&typed);
        auto* combo = editorOf<HEditableEnumEdit>(row);
        QCOMPARE(combo->currentText(), QString("-"));
        combo->lineEdit()->setText("своё");
        QCOMPARE(typed.value(), QString("-"));
        QTest::keyClick(combo, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(typed.value(), QString("-"));
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(typed.value(), QString("своё"));
    }

    // The workbooks of the folder, matched by name with their case, and the default template.
    void listsTheWorkbooksOfItsFolder()
    {
        QTemporaryDir folder;
        for (const char* name : {"поверка.xlsx", "ГОСТ.XLSX", "~$поверка.xlsx", "readme.txt", "old.xls"})
            QVERIFY(touch(folder.filePath(QString::fromUtf8(name))));
        QVERIFY(QDir(folder.path()).mkdir("folder.xlsx"));
        ModelTemplates model(folder.path());
        QCOMPARE(g_modelTemplates, &model);
        QCOMPARE(names(model), QStringList({"ГОСТ.XLSX", "поверка.xlsx"}));
        QVERIFY(model.matchesFilter(0, "ГОСТ") && model.matchesFilter(0, QString()));
        QVERIFY(!model.matchesFilter(0, "гост"));
        QVERIFY(model.nameEquals(0, "ГОСТ.XLSX"));
        QVERIFY(!model.nameEquals(0, "гост.xlsx"));

        QVERIFY(touch(folder.filePath("новый.xlsx")));
        model.loadFolder();
        QCOMPARE(model.count(), 3);
        const QString first = model.index(0, 0).data().toString();
        const QString last = model.index(2, 0).data().toString();
        QCOMPARE(model.defaultTemplate(last), last);
        QCOMPARE(model.defaultTemplate("удалённый.xlsx"), first);
        QCOMPARE(model.defaultTemplate(QString()), first);

        model.setFolder(folder.filePath("нет такой"));
        model.loadFolder();
        QCOMPARE(model.count(), 0);
        QCOMPARE(model.defaultTemplate(last), QString());
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

QTEST_MAIN(TestParameterFields)
#include "test_parameter_fields.moc"
