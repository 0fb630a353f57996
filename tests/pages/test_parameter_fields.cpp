#include "ComboBoxDelegate.h"
#include "DialogAnswerer.h"
#include "EditField.h"
#include "FileDialogText.h"
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
#include "TestEnvironment.h"

#include <memory>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

    // Each type gets its editor and an edit reaches the parameter before the row reports it; a
    // reload refills the same editor and is not taken for an edit.
    void editsArriveAndReloadsDoNot()
    {
        Items items;
        ParametrEnum choice("Выбор", &items.list, immediate);
        ParametrString text("Текст", 20, immediate);
        ParametrString address("Адрес", 10, multiLine);
        ParametrDouble number("Число", 0.5, 10.0, immediate);
        ParametrInt count("Счёт", 0, 10, immediate);
        ParametrPath path("Путь", immediate);
        const std::vector<HAbstractParametr*> parametrs{&choice, &text, &address, &number, &count, &path};
        std::vector<std::unique_ptr<PrField>> rows;
        QStringList seen;
        for (HAbstractParametr* parametr : parametrs) {
            rows.push_back(std::make_unique<PrField>(parametr));
            QObject::connect(rows.back().get(), &PrField::changed, [&seen, parametr] { seen << parametr->valueText(); });
        }
        editorOf<QComboBox>(*rows[0])->setCurrentIndex(1);
        editorOf<QLineEdit>(*rows[1])->setText("протокол");
        editorOf<QTextEdit>(*rows[2])->setPlainText("ул. Мира, 1\nкорп. 2");
        editorOf<QDoubleSpinBox>(*rows[3])->setValue(2.5);
        editorOf<QSpinBox>(*rows[4])->setValue(7);
        editorOf<HPathEdit>(*rows[5])->lineEdit()->setText("/tmp/шаблоны");
        QCOMPARE(seen, QStringList({"не соответствует", "протокол", "ул. Мира, ", "2,5", "7", "/tmp/шаблоны"}));
        QCOMPARE(choice.value(), 20);
        QCOMPARE(editorOf<QTextEdit>(*rows[2])->toPlainText(), QString("ул. Мира, "));

        QList<QWidget*> editors;
        for (const auto& row : rows)
            editors << row->field()->editor();
        choice.setValue(30);
        text.setValue("новый");
        address.setValue("строка 1\nстрока 2");
        number.setValue(4.25);
        count.setValue(6);
        seen.clear();
        for (int i = 0; i < int(rows.size()); ++i) {
            rows[i]->reload();
            QCOMPARE(rows[i]->field()->editor(), editors.at(i));
        }
        QVERIFY(seen.isEmpty());
        QCOMPARE(editorOf<QComboBox>(*rows[0])->currentIndex(), 2);
        QCOMPARE(editorOf<QLineEdit>(*rows[1])->text(), QString("новый"));
        QCOMPARE(editorOf<QTextEdit>(*rows[2])->toPlainText(), QString("строка 1\nстрока 2"));
        QCOMPARE(editorOf<QDoubleSpinBox>(*rows[3])->value(), 4.25);
        QCOMPARE(editorOf<QSpinBox>(*rows[4])->value(), 6);
        choice.setValue(99);
        rows[0]->reload();
        QCOMPARE(editorOf<QComboBox>(*rows[0])->currentIndex(), -1);

        ParametrTime time("Время", immediate);
        QVERIFY(!PrField(&time).field()->editor());
    }

    void pathFieldChoosesInQtsDialog_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("folder") << int(multiLine) << "folder | Выбор дериктории | All Files (*) | " << "шаблоны";
        QTest::newRow("file") << int(immediate) << "open | Выбор файла | (*.xlsx) | " << "шаблоны/протокол.xlsx";
    }

    // The path field's button opens Qt's own dialog in the folder the field shows: a folder dialog for
    // a folder, an open dialog with the field's file types for a file. What is chosen there fills the field.
    void pathFieldChoosesInQtsDialog()
    {
        QFETCH(int, flags);
        QFETCH(QString, seen);
        QFETCH(QString, chosen);
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("шаблоны"));
        QFile file(root.filePath("шаблоны/протокол.xlsx"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        ParametrPath path("Путь", quint8(flags));
        path.setStringList({"*.xlsx"});
        PrField row(&path);
        auto* field = editorOf<HPathEdit>(row);
        field->lineEdit()->setText(root.path());
        QStringList shown;
        const DialogAnswerer answerer([&](QDialog* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                shown << describe(dialog);
                DialogAnswerer::choosePath(dialog, root.filePath(chosen));
            }
        });
        field->findChild<QPushButton*>()->click();
        QCOMPARE(shown, QStringList{seen + root.path()});
        QCOMPARE(field->lineEdit()->text(), root.filePath(chosen));
        QCOMPARE(path.value(), root.filePath(chosen));
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
        count.applyEdited();
        QCOMPARE(count.value(), 8);
    }

    void captionTakesOneSuffix()
    {
        ParametrString text("Адрес, корпус", 20, immediate);
        PrField row(&text);
        row.updateCaption("кПа");
        row.updateCaption("МПа");
        QCOMPARE(row.captionLabel()->text(), QString("Адрес, корпус, МПа"));

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
        QCOMPARE(combo->itemData(2).toInt(), 30);
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
            QVERIFY(QFile(folder.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly));
        QVERIFY(QDir(folder.path()).mkdir("folder.xlsx"));
        ModelTemplates model(folder.path());
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row)
            names << model.index(row, 0).data().toString();
        names.sort();
        QCOMPARE(names, QStringList({"ГОСТ.XLSX", "поверка.xlsx"}));
        const int gost = model.index(0, 0).data().toString() == "ГОСТ.XLSX" ? 0 : 1;
        QVERIFY(model.matchesFilter(gost, "ГОСТ") && model.matchesFilter(gost, QString()));
        QVERIFY(!model.matchesFilter(gost, "гост"));
        QVERIFY(model.nameEquals(gost, "ГОСТ.XLSX"));
        QVERIFY(!model.nameEquals(gost, "гост.xlsx"));

        const QString first = model.index(0, 0).data().toString();
        const QString last = model.index(1, 0).data().toString();
        QCOMPARE(model.defaultTemplate(last), last);
        QCOMPARE(model.defaultTemplate("удалённый.xlsx"), first);

        model.setFolder(folder.filePath("нет такой"));
        model.loadFolder();
        QCOMPARE(model.count(), 0);
        QCOMPARE(model.defaultTemplate(last), QString());
    }

    // A fixed list only shows its names; in an editable one a confirmed name joins the shared
    // list, and at 50 names the oldest typed name goes, never a kept one.
    void delegateShowsAndKeepsTheNames()
    {
        QStringList units{"Па", "кПа", "МПа"};
        DelegatedCell fixed(&units, false);
        QVERIFY(!fixed.editor->isEditable());
        fixed.show("бар");
        QCOMPARE(fixed.editor->currentIndex(), -1);
        fixed.show("МПа");
        QCOMPARE(fixed.editor->currentIndex(), 2);
        fixed.editor->setCurrentIndex(1);
        fixed.delegate.setModelData(fixed.editor.get(), &fixed.model, fixed.index());
        QCOMPARE(fixed.model.data(fixed.index()), QVariant("кПа"));
        QCOMPARE(units.size(), 3);

        QStringList names{"нет", "ДИ", "ДД-1", "ДА"};
        while (names.size() < ComboBoxDelegate::maximumItems)
            names << QString("ДД-%1").arg(names.size() - 2);
        DelegatedCell typed(&names, true, {"нет", "ДИ", "ДА"});
        QVERIFY(typed.editor->isEditable());
        typed.editor->addItem("АИР-20");
        typed.show("АИР-20");
        QCOMPARE(names.size(), ComboBoxDelegate::maximumItems);
        QCOMPARE(names.mid(0, 4), QStringList({"нет", "ДИ", "ДА", "ДД-2"}));
        QCOMPARE(names.last(), QString("АИР-20"));
        QCOMPARE(typed.editor->currentText(), QString("АИР-20"));
    }
};

QTEST_MAIN(TestParameterFields)
#include "test_parameter_fields.moc"
