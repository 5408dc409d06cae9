#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"
#include "testbuilder/test_model.h"
#include "testbuilder/test_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <functional>
#include <memory>

using tb::TestWindow;
using tb::testing::FakePrompts;
using tb::testing::TempFolder;

namespace {

// The field's text as the teacher sees it, no-break spaces included.
QString rawText(const QPlainTextEdit* edit)
{
    QString text = edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// Types each character as a key press carrying it, beyond Latin-1 as well.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

std::string testFile(const std::string& title, const std::vector<tb::QuestionRecord>& questions)
{
    tb::TestHeader header;
    header.TestTitle = title;
    std::string bytes = header.pack();
    for (const auto& question : questions)
        bytes += question.pack();
    return bytes;
}

// Runs `action` once the modal window named `name` is showing, without blocking the test.
void whenModalShows(const QString& name, std::function<void(QDialog&)> action)
{
    auto attempt = std::make_shared<std::function<void(int)>>();
    // The function holds itself only weakly (the pending timer holds it), so it is freed
    // once the last attempt has run.
    std::weak_ptr<std::function<void(int)>> weak = attempt;
    *attempt = [name, action, weak](int tries) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(top);
            if (dialog && dialog->objectName() == name && dialog->isVisible()) {
                action(*dialog);
                return;
            }
        }
        if (auto self = weak.lock(); self && tries > 0)
            QTimer::singleShot(10, [self, tries] { (*self)(tries - 1); });
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(200); });
}

} // namespace

class TestWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openingShowsANewTest();
    void menusCarryTheirCaptions();
    void navigationNeedsQuestionAndAnswer();
    void forwardAddsABlankQuestionThatMustBeFilled();
    void keyboardReachesTheControls();
    void lastCategoryBoxTicksAllFour();
    void countBoxFilter_data();
    void countBoxFilter();
    void countBoxBackspace();
    void categoryListHoldsTheCategoriesSelected();
    void noSelectedCategoryGivesTheTabletMessage();
    void twelveTestFilesAreListed();
    void emptyFolderListsNothing();
    void saveTestStaysVisibleAfterSaveAs();
    void saveTestVisibleAfterOpen();
    void microAndNoBreakSpaceRoundTrip();
    void viewingKeepsTheStoredBytes();
    void typingRefusesCharactersOutsideWindows1252();
    void pasteReplacesForeignCharactersAndKeepsTheLimit();
    void typingStopsAtTheLimits();
    void editMenuUsesTheProgramClipboard();
    void editMenuIgnoresOtherControls();
    void exportOptionsFollowTheirMenus();
    void settingsWindowOpensModally();
    void closingAsksForAnUnsavedTestAndDeletesTheWorkingFile();
    void buildSaveExportAndReopenATest();
    void screenshot();

private:
    void openWindow();
    template <class T> T* find(const QString& name) const
    {
        T* child = window->findChild<T*>(name);
        if (!child)
            qFatal("no control named %s", qPrintable(name));
        return child;
    }
    QPlainTextEdit* field(int i) const { return find<QPlainTextEdit>(QStringLiteral("Txtquestion_%1").arg(i)); }
    QLineEdit* answer() const { return find<QLineEdit>(QStringLiteral("txtanswer")); }
    QAction* action(const QString& name) const { return find<QAction>(name); }
    QString label(const char* name) const { return find<QLabel>(QString::fromLatin1(name))->text(); }
    bool navigationShown() const;
    void onlyCategory(int box);
    void createQuestions(const QString& count);

    std::unique_ptr<TempFolder> folder;
    std::unique_ptr<tb::AppState> state;
    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<TestWindow> window;
};

void TestWindowTest::init()
{
    folder = std::make_unique<TempFolder>();
    folder->copySampleDatabase(TB_SAMPLE_DIR);
    state = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder->path());
    const auto problem = tb::loadStartupFiles(*state);
    QVERIFY2(!problem, problem ? problem->message.c_str() : "");
    prompts = std::make_unique<FakePrompts>();
}

void TestWindowTest::cleanup()
{
    window.reset();
    state.reset();
    folder.reset();
}

void TestWindowTest::openWindow()
{
    window = std::make_unique<TestWindow>(*state, *prompts);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

bool TestWindowTest::navigationShown() const
{
    const bool shown = !find<QWidget>(QStringLiteral("cmdforward_0"))->isHidden();
    for (const char* name : { "cmdforward_1", "Command2_0", "Command2_1" })
        if (find<QWidget>(QString::fromLatin1(name))->isHidden() == shown)
            qFatal("%s does not follow the other navigation controls", name);
    return shown;
}

void TestWindowTest::onlyCategory(int box)
{
    auto* wanted = find<QCheckBox>(QStringLiteral("Check1_%1").arg(box));
    if (!wanted->isChecked())
        wanted->click();
    for (int i = 0; i < 4; ++i) {
        auto* other = find<QCheckBox>(QStringLiteral("Check1_%1").arg(i));
        if (i != box && other->isChecked())
            other->click();
    }
}

void TestWindowTest::createQuestions(const QString& count)
{
    find<QLineEdit>(QStringLiteral("Text1"))->setText(count);
    find<QPushButton>(QStringLiteral("Cmdgenerate"))->click();
}

void TestWindowTest::openingShowsANewTest()
{
    openWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("Dosarion - Test Construction Set"));
    QCOMPARE(label("Label1"), QStringLiteral("1 / 1"));
    QCOMPARE(label("Label7"), QStringLiteral("File : test.tmp"));
    QCOMPARE(label("Label5"), QStringLiteral("untitled"));
    QVERIFY(!find<QLabel>(QStringLiteral("Label6"))->isHidden());
    QCOMPARE(label("Label6"), QStringLiteral("Question and answer fields must be completed"));
    QVERIFY(!navigationShown());
    QVERIFY(!find<QWidget>(QStringLiteral("cmdforward_2"))->isHidden());
    QVERIFY(!action(QStringLiteral("mnusave_0"))->isVisible());
    QVERIFY(!action(QStringLiteral("mnusave_1"))->isVisible());
    QCOMPARE(find<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("1"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(find<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->isChecked());
    QVERIFY(std::filesystem::exists(*folder / "test.tmp"));
    QCOMPARE(folder->read("test.tmp").substr(0, 8), std::string("untitled"));
    QVERIFY(prompts->messages.empty());
}

void TestWindowTest::menusCarryTheirCaptions()
{
    openWindow();
    const std::vector<std::pair<const char*, const char*>> captions { { "mnuopen_0", "&New Test" },
        { "mnuopen_1", "&Open Test" }, { "mnusave_0", "Save  &As Test" }, { "mnusave_1", "&Save Test" },
        { "mnuquit", "&Quit" }, { "copy_0", "Cu&t" }, { "copy_1", "&Copy" }, { "copy_2", "&paste" },
        { "mnuch", "&Change General Settings" }, { "numbquest_0", "&No Numbering" },
        { "numbquest_1", "&1 Question [Number]." }, { "numbquest_4", "&4 No. [Number]." },
        { "numbquest_5", "&5 [Number]." }, { "tfop_0", "Include &Title" }, { "tfop_3", "Include &Answer Key" },
        { "tfop_4", "Include &Solutions" }, { "mnuop_0", "0" } };
    for (const auto& [name, caption] : captions)
        QCOMPARE(action(QString::fromLatin1(name))->text(), QString::fromLatin1(caption));
    QCOMPARE(find<QMenu>(QStringLiteral("file"))->title(), QStringLiteral("&File"));
    QCOMPARE(find<QMenu>(QStringLiteral("textfileoptions"))->title(), QStringLiteral("Text File &Options"));
    QCOMPARE(find<QMenu>(QStringLiteral("mnutextfileop"))->title(), QStringLiteral("&Numbering Questions"));
    QCOMPARE(find<QMenu>(QStringLiteral("edit"))->title(), QStringLiteral("&Edit"));
    QCOMPARE(find<QMenu>(QStringLiteral("options"))->title(), QStringLiteral("&Options"));
    QCOMPARE(action(QStringLiteral("copy_0"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QCOMPARE(action(QStringLiteral("copy_1"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(action(QStringLiteral("copy_2"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+V")));
    QVERIFY(!action(QStringLiteral("mnuop_0"))->isVisible());
    QVERIFY(find<QAction>(QStringLiteral("bar3"))->isSeparator());
    QCOMPARE(find<QPushButton>(QStringLiteral("Cmdgenerate"))->text(), QStringLiteral("&Create Question"));
    QCOMPARE(find<QPushButton>(QStringLiteral("Command1"))->text(), QStringLiteral("&Test Description"));
    QCOMPARE(find<QPushButton>(QStringLiteral("Command2_0"))->text(), QStringLiteral("|"));
    QCOMPARE(label("Label4_1"), QStringLiteral("Tablet / Fluid Drug Categories:"));
    QCOMPARE(label("Label2_1"), QStringLiteral("Help / Solution:"));
}

void TestWindowTest::navigationNeedsQuestionAndAnswer()
{
    openWindow();
    QTest::keyClicks(answer(), QStringLiteral("5"));
    QVERIFY(!navigationShown());
    QVERIFY(!find<QLabel>(QStringLiteral("Label6"))->isHidden());
    QVERIFY(!action(QStringLiteral("mnusave_0"))->isVisible());

    QTest::keyClicks(field(0), QStringLiteral("How many tablets?"));
    QVERIFY(navigationShown());
    QVERIFY(find<QLabel>(QStringLiteral("Label6"))->isHidden());
    QVERIFY(action(QStringLiteral("mnusave_0"))->isVisible());
    QVERIFY(rawText(field(1)).isEmpty());

    // Blanks alone do not complete a field.
    answer()->clear();
    QTest::keyClicks(answer(), QStringLiteral("   "));
    QVERIFY(!navigationShown());
}

void TestWindowTest::forwardAddsABlankQuestionThatMustBeFilled()
{
    openWindow();
    onlyCategory(0);
    createQuestions(QStringLiteral("1"));
    QCOMPARE(label("Label1"), QStringLiteral("1 / 1"));
    QVERIFY(navigationShown());

    find<QToolButton>(QStringLiteral("cmdforward_1"))->click();
    QCOMPARE(label("Label1"), QStringLiteral("2 / 2"));
    QVERIFY(rawText(field(0)).isEmpty());
    QVERIFY(rawText(field(1)).isEmpty());
    QVERIFY(answer()->text().isEmpty());
    QVERIFY(!navigationShown());
    QVERIFY(!find<QLabel>(QStringLiteral("Label6"))->isHidden());
    // Two questions: Save As stays offered although the shown one is incomplete.
    QVERIFY(action(QStringLiteral("mnusave_0"))->isVisible());
    QVERIFY(!find<QWidget>(QStringLiteral("cmdforward_2"))->isHidden());

    find<QToolButton>(QStringLiteral("cmdforward_2"))->click();
    QCOMPARE(label("Label1"), QStringLiteral("1 / 1"));
    QVERIFY(navigationShown());
}

void TestWindowTest::keyboardReachesTheControls()
{
    openWindow();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    field(0)->setFocus();
    QTest::keyClick(field(0), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), field(1));
    QTest::keyClick(field(1), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), answer());
    QVERIFY(rawText(field(0)).isEmpty());

    // Alt+C is "&Create Question".
    onlyCategory(0);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!rawText(field(0)).isEmpty());
    QVERIFY(navigationShown());
}

void TestWindowTest::lastCategoryBoxTicksAllFour()
{
    openWindow();
    for (int i = 0; i < 3; ++i)
        find<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->click();
    QVERIFY(!find<QCheckBox>(QStringLiteral("Check1_0"))->isChecked());
    QVERIFY(find<QCheckBox>(QStringLiteral("Check1_3"))->isChecked());

    find<QCheckBox>(QStringLiteral("Check1_3"))->click();
    for (int i = 0; i < 4; ++i)
        QVERIFY(find<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->isChecked());
}

void TestWindowTest::countBoxFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("minus") << "-"
                           << "";
    QTest::newRow("point") << "."
                           << "";
    QTest::newRow("letters") << "aZ"
                             << "";
    QTest::newRow("slash and colon") << "/:"
                                     << "";
    QTest::newRow("tilde") << "~"
                           << "";
    QTest::newRow("nine") << "9"
                          << "9";
    QTest::newRow("ninety-nine") << "99"
                                 << "99";
    QTest::newRow("two characters at most") << "123"
                                            << "12";
    QTest::newRow("digits among refused keys") << "-4.x2"
                                               << "42";
    QTest::newRow("blank passes") << " 7"
                                  << " 7";
}

void TestWindowTest::countBoxFilter()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    openWindow();
    auto* count = find<QLineEdit>(QStringLiteral("Text1"));
    count->clear();
    QTest::keyClicks(count, typed);
    QCOMPARE(count->text(), shown);
}

void TestWindowTest::countBoxBackspace()
{
    openWindow();
    auto* count = find<QLineEdit>(QStringLiteral("Text1"));
    count->clear();
    QTest::keyClicks(count, QStringLiteral("99"));
    QTest::keyClick(count, Qt::Key_Backspace);
    QCOMPARE(count->text(), QStringLiteral("9"));
}

void TestWindowTest::categoryListHoldsTheCategoriesSelected()
{
    openWindow();
    auto* list = find<QListWidget>(QStringLiteral("Lstcategory"));
    QCOMPARE(list->count(), state->categories.CategoryCount);
    QCOMPARE(list->count(), 8);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Analgesics"));
    QCOMPARE(list->item(5)->text(), QStringLiteral("Respiratory/Allergy"));
    QCOMPARE(list->selectedItems().size(), list->count());
    QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
}

void TestWindowTest::noSelectedCategoryGivesTheTabletMessage()
{
    openWindow();
    find<QListWidget>(QStringLiteral("Lstcategory"))->clearSelection();
    onlyCategory(1);
    createQuestions(QStringLiteral("3"));
    QCOMPARE(prompts->messages.size(), std::size_t(1));
    QCOMPARE(prompts->messages[0].text,
        std::string("Sorry no tablet dosage questions could be constructed using the question categories selected "
                    "from the menu bar."));
    QCOMPARE(label("Label1"), QStringLiteral("1 / 1"));

    // One category selected again: its tablets can be asked about.
    find<QListWidget>(QStringLiteral("Lstcategory"))->item(0)->setSelected(true);
    createQuestions(QStringLiteral("2"));
    QCOMPARE(prompts->messages.size(), std::size_t(1));
    QCOMPARE(label("Label1"), QStringLiteral("2 / 2"));
}

void TestWindowTest::twelveTestFilesAreListed()
{
    for (int i = 1; i <= 12; ++i)
        folder->write(QStringLiteral("t%1.dsq").arg(i, 2, 10, QLatin1Char('0')).toStdString(), testFile("t", {}));
    openWindow();
    QCOMPARE(action(QStringLiteral("mnuop_1"))->text(), QStringLiteral("&1 t01.dsq"));
    QCOMPARE(action(QStringLiteral("mnuop_9"))->text(), QStringLiteral("&9 t09.dsq"));
    QCOMPARE(action(QStringLiteral("mnuop_10"))->text(), QStringLiteral("10 t10.dsq"));
    QCOMPARE(action(QStringLiteral("mnuop_12"))->text(), QStringLiteral("12 t12.dsq"));
    QVERIFY(!window->findChild<QAction*>(QStringLiteral("mnuop_13")));
    QVERIFY(action(QStringLiteral("bar3"))->isVisible());
    QVERIFY(!action(QStringLiteral("mnuop_0"))->isVisible());
    QVERIFY(action(QStringLiteral("mnuop_12"))->isVisible());

    // The list entries follow "&Quit" and its separator, in order.
    const auto actions = find<QMenu>(QStringLiteral("file"))->actions();
    const auto quit = actions.indexOf(action(QStringLiteral("mnuquit")));
    QCOMPARE(actions.at(quit + 1), action(QStringLiteral("bar3")));
    QCOMPARE(actions.at(quit + 3), action(QStringLiteral("mnuop_1")));
    QCOMPARE(actions.last(), action(QStringLiteral("mnuop_12")));
}

void TestWindowTest::emptyFolderListsNothing()
{
    openWindow();
    QVERIFY(!action(QStringLiteral("bar3"))->isVisible());
    QVERIFY(!window->findChild<QAction*>(QStringLiteral("mnuop_1")));
}

void TestWindowTest::saveTestStaysVisibleAfterSaveAs()
{
    openWindow();
    QTest::keyClicks(field(0), QStringLiteral("Convert 1 g to mg"));
    QTest::keyClicks(answer(), QStringLiteral("1000"));
    prompts->fileNames = { "first.dsq" };
    action(QStringLiteral("mnusave_0"))->trigger();
    QVERIFY(action(QStringLiteral("mnusave_1"))->isVisible());
    QCOMPARE(label("Label7"), QStringLiteral("File : first.dsq"));
    QCOMPARE(folder->read("first.dsq").size(), std::size_t(2 * 2012));

    action(QStringLiteral("mnuopen_0"))->trigger();
    QCOMPARE(label("Label7"), QStringLiteral("File : test.tmp"));
    QCOMPARE(label("Label1"), QStringLiteral("1 / 1"));
    QVERIFY(rawText(field(0)).isEmpty());
    QVERIFY(action(QStringLiteral("mnusave_1"))->isVisible());
    QVERIFY(prompts->questions.empty());
}

void TestWindowTest::saveTestVisibleAfterOpen()
{
    folder->write("drill.dsq",
        testFile("Drill", { { "Question one", "Solution one", "1" }, { "Question two", "Solution two", "2" } }));
    openWindow();
    prompts->fileNames = { "drill.dsq" };
    action(QStringLiteral("mnuopen_1"))->trigger();
    QVERIFY(prompts->messages.empty());
    QCOMPARE(label("Label5"), QStringLiteral("Drill"));
    QCOMPARE(label("Label1"), QStringLiteral("2 / 2"));
    QCOMPARE(label("Label7"), QStringLiteral("File : drill.dsq"));
    QCOMPARE(rawText(field(0)), QStringLiteral("Question two"));
    QCOMPARE(answer()->text(), QStringLiteral("2"));
    QVERIFY(navigationShown());
    QVERIFY(action(QStringLiteral("mnusave_1"))->isVisible());
    QCOMPARE(prompts->dialogs.at(0).filter, std::string("Dosarion Files (*.dsq)|*.dsq|"));
}

void TestWindowTest::microAndNoBreakSpaceRoundTrip()
{
    const std::string question = "Give 250 \xB5g.\r\nHow many ml?";
    const std::string solution = "Dose\xA0\xA0= 250\xA0\xB5g\r\n     = 0.25 mg";
    folder->write("micro.dsq", testFile("Micro", { { question, solution, "0.5" } }));
    openWindow();
    prompts->fileNames = { "micro.dsq" };
    action(QStringLiteral("mnuopen_1"))->trigger();

    QCOMPARE(rawText(field(0)), QStringLiteral("Give 250 \u00B5g.\nHow many ml?"));
    QCOMPARE(rawText(field(1)), QStringLiteral("Dose\u00A0\u00A0= 250\u00A0\u00B5g\n     = 0.25 mg"));

    // Typed µ is stored as byte 181 as well; Save Test writes the shown question.
    field(0)->moveCursor(QTextCursor::End);
    typeText(field(0), QStringLiteral(" \u00B5"));
    action(QStringLiteral("mnusave_1"))->trigger();
    const tb::QuestionRecord stored = tb::QuestionRecord::unpack(folder->read("micro.dsq").substr(2012, 2012));
    QCOMPARE(tb::stripBlanks(stored.questionText), question + " \xB5");
    QCOMPARE(tb::stripBlanks(stored.solutionText), solution);
    QCOMPARE(tb::stripBlanks(stored.answerText), std::string("0.5"));
}

void TestWindowTest::viewingKeepsTheStoredBytes()
{
    // A lone CR shows as a line break; the question keeps its byte until it is edited.
    const std::string question = "Lone\rbreak\tand tab";
    folder->write("lone.dsq", testFile("Lone", { { question, "s", "1" }, { "q2", "s2", "2" } }));
    openWindow();
    prompts->fileNames = { "lone.dsq" };
    action(QStringLiteral("mnuopen_1"))->trigger();
    find<QPushButton>(QStringLiteral("Command2_0"))->click();
    QCOMPARE(rawText(field(0)), QStringLiteral("Lone\nbreak\tand tab"));
    find<QToolButton>(QStringLiteral("cmdforward_1"))->click();
    auto stored = [this](int n) {
        return tb::QuestionRecord::unpack(folder->read("lone.dsq").substr(2012 * n, 2012)).questionText;
    };
    QCOMPARE(tb::stripBlanks(stored(1)), question);

    // Typing and taking it back again leaves the question as it was.
    find<QToolButton>(QStringLiteral("cmdforward_0"))->click();
    field(0)->moveCursor(QTextCursor::End);
    QTest::keyClicks(field(0), QStringLiteral("s"));
    QTest::keyClick(field(0), Qt::Key_Backspace);
    action(QStringLiteral("mnusave_1"))->trigger();
    QCOMPARE(tb::stripBlanks(stored(1)), question);

    QTest::keyClicks(field(0), QStringLiteral("s"));
    action(QStringLiteral("mnusave_1"))->trigger();
    QCOMPARE(tb::stripBlanks(stored(1)), std::string("Lone\r\nbreak\tand tabs"));
}

void TestWindowTest::typingRefusesCharactersOutsideWindows1252()
{
    openWindow();
    typeText(field(0), QStringLiteral("a\u03A9b\u20AC\u2192c"));
    QCOMPARE(rawText(field(0)), QStringLiteral("ab\u20ACc"));
    typeText(answer(), QStringLiteral("1\u4E002"));
    QCOMPARE(answer()->text(), QStringLiteral("12"));
}

void TestWindowTest::pasteReplacesForeignCharactersAndKeepsTheLimit()
{
    openWindow();
    // A paste that does not go through the program's clipboard (a drop, the field's own paste).
    QGuiApplication::clipboard()->setText(QStringLiteral("x\u03A9y"));
    field(0)->paste();
    QCOMPARE(rawText(field(0)), QStringLiteral("x?y"));

    field(1)->setPlainText(QString(1198, QLatin1Char('s')));
    field(1)->moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(QStringLiteral("abcdef"));
    field(1)->paste();
    QCOMPARE(rawText(field(1)), QString(1198, QLatin1Char('s')) + QStringLiteral("ab"));

    // A line break costs two characters in the stored text, and is never cut in half.
    field(1)->setPlainText(QString(1199, QLatin1Char('s')));
    field(1)->moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(QStringLiteral("\nz"));
    field(1)->paste();
    QCOMPARE(rawText(field(1)), QString(1199, QLatin1Char('s')));
}

void TestWindowTest::typingStopsAtTheLimits()
{
    openWindow();
    QTest::keyClicks(answer(), QStringLiteral("1234567890123"));
    QCOMPARE(answer()->text(), QStringLiteral("123456789012"));

    field(0)->setPlainText(QString(798, QLatin1Char('q')));
    field(0)->moveCursor(QTextCursor::End);
    QTest::keyClick(field(0), Qt::Key_Return);
    QCOMPARE(rawText(field(0)), QString(798, QLatin1Char('q')) + QStringLiteral("\n"));
    QTest::keyClicks(field(0), QStringLiteral("ab"));
    QCOMPARE(rawText(field(0)).size(), 799);
    QTest::keyClick(field(0), Qt::Key_Backspace);
    QTest::keyClicks(field(0), QStringLiteral("abc"));
    QCOMPARE(rawText(field(0)), QString(798, QLatin1Char('q')) + QStringLiteral("ab"));

    // A text set from outside the keyboard is cut to the limit before the model sees it.
    field(0)->setPlainText(QString(900, QLatin1Char('w')));
    QCOMPARE(rawText(field(0)).size(), 800);
}

void TestWindowTest::editMenuUsesTheProgramClipboard()
{
    openWindow();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    field(1)->setFocus();
    QTest::keyClicks(field(1), QStringLiteral("line one"));
    QTest::keyClick(field(1), Qt::Key_Return);
    typeText(field(1), QStringLiteral("5 \u00B5g"));
    field(1)->selectAll();
    action(QStringLiteral("copy_1"))->trigger();
    QCOMPARE(prompts->clipboard, std::string("line one\r\n5 \xB5g"));
    QCOMPARE(rawText(field(1)), QStringLiteral("line one\n5 \u00B5g"));

    action(QStringLiteral("copy_0"))->trigger();
    QVERIFY(rawText(field(1)).isEmpty());
    QCOMPARE(prompts->clipboard, std::string("line one\r\n5 \xB5g"));

    action(QStringLiteral("copy_2"))->trigger();
    QCOMPARE(rawText(field(1)), QStringLiteral("line one\n5 \u00B5g"));

    // Ctrl+V in a field takes the same way.
    answer()->setFocus();
    prompts->clipboard = "0.25";
    QTest::keyClick(answer(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(answer()->text(), QStringLiteral("0.25"));

    // The count box is a text field too, and a paste there is not filtered.
    auto* count = find<QLineEdit>(QStringLiteral("Text1"));
    count->setFocus();
    count->selectAll();
    prompts->clipboard = "5x9";
    action(QStringLiteral("copy_2"))->trigger();
    QCOMPARE(count->text(), QStringLiteral("5x"));
}

void TestWindowTest::editMenuIgnoresOtherControls()
{
    openWindow();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClicks(field(0), QStringLiteral("kept"));
    find<QListWidget>(QStringLiteral("Lstcategory"))->setFocus();
    prompts->clipboard = "pasted";
    action(QStringLiteral("copy_2"))->trigger();
    action(QStringLiteral("copy_0"))->trigger();
    QCOMPARE(rawText(field(0)), QStringLiteral("kept"));
    QCOMPARE(prompts->clipboard, std::string("pasted"));
}

void TestWindowTest::exportOptionsFollowTheirMenus()
{
    openWindow();
    for (int i = 0; i < 6; ++i)
        QCOMPARE(action(QStringLiteral("numbquest_%1").arg(i))->isChecked(), i == 1);
    for (int i = 0; i < 5; ++i)
        QVERIFY(action(QStringLiteral("tfop_%1").arg(i))->isChecked());

    action(QStringLiteral("numbquest_3"))->trigger();
    action(QStringLiteral("numbquest_3"))->trigger(); // choosing it again keeps it chosen
    for (int i = 0; i < 6; ++i)
        QCOMPARE(action(QStringLiteral("numbquest_%1").arg(i))->isChecked(), i == 3);
    action(QStringLiteral("tfop_2"))->trigger();
    QVERIFY(!action(QStringLiteral("tfop_2"))->isChecked());
    QVERIFY(action(QStringLiteral("tfop_1"))->isChecked());
}

void TestWindowTest::settingsWindowOpensModally()
{
    openWindow();
    bool shown = false;
    whenModalShows(QStringLiteral("default"), [&shown](QDialog& dialog) {
        shown = dialog.isModal();
        dialog.reject();
    });
    action(QStringLiteral("mnuch"))->trigger();
    QVERIFY(shown);
}

void TestWindowTest::closingAsksForAnUnsavedTestAndDeletesTheWorkingFile()
{
    openWindow();
    QSignalSpy closed(window.get(), &TestWindow::closed);
    QTest::keyClicks(field(0), QStringLiteral("Convert 2 kg to g"));
    QTest::keyClicks(answer(), QStringLiteral("2000"));
    prompts->yesNoAnswers = { false };
    action(QStringLiteral("mnuquit"))->trigger();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(prompts->questions,
        std::vector<std::string> { "This test has not been saved. Would you like to save it now?" });
    QVERIFY(!std::filesystem::exists(*folder / "test.tmp"));

    // A second close runs nothing again.
    window->close();
    QCOMPARE(closed.count(), 1);
}

void TestWindowTest::buildSaveExportAndReopenATest()
{
    openWindow();
    QSignalSpy closed(window.get(), &TestWindow::closed);

    // Ten questions of the four categories, one Create at a time.
    const std::array<int, 10> categories { 0, 1, 2, 3, 0, 1, 2, 3, 1, 2 };
    QStringList questions;
    for (int k = 0; k < 10; ++k) {
        onlyCategory(categories[k]);
        createQuestions(QStringLiteral("1"));
        QCOMPARE(label("Label1"), QStringLiteral("%1 / %1").arg(k + 1));
        questions << rawText(field(0));
        QVERIFY(!rawText(field(1)).isEmpty());
        QVERIFY(!answer()->text().isEmpty());
        if (categories[k] == 3)
            QVERIFY(questions.last().startsWith(QLatin1Char('\n')));
    }
    QVERIFY2(prompts->messages.empty(), prompts->messages.empty() ? "" : prompts->messages[0].text.c_str());
    QVERIFY(navigationShown());
    QVERIFY(action(QStringLiteral("mnusave_0"))->isVisible());

    // Step back through all of them, and round to the last again.
    for (int k = 9; k >= 1; --k) {
        find<QToolButton>(QStringLiteral("cmdforward_0"))->click();
        QCOMPARE(label("Label1"), QStringLiteral("%1 / 10").arg(k));
        QCOMPARE(rawText(field(0)), questions[k - 1]);
    }
    find<QToolButton>(QStringLiteral("cmdforward_0"))->click();
    QCOMPARE(label("Label1"), QStringLiteral("10 / 10"));
    find<QPushButton>(QStringLiteral("Command2_0"))->click();
    QCOMPARE(rawText(field(0)), questions[0]);

    // Edit question 1's answer and solution, then leave it and come back.
    answer()->selectAll();
    QTest::keyClicks(answer(), QStringLiteral("42"));
    field(1)->moveCursor(QTextCursor::End);
    QTest::keyClicks(field(1), QStringLiteral(" checked"));
    find<QToolButton>(QStringLiteral("cmdforward_1"))->click();
    QCOMPARE(label("Label1"), QStringLiteral("2 / 10"));
    QCOMPARE(rawText(field(0)), questions[1]);
    find<QToolButton>(QStringLiteral("cmdforward_0"))->click();
    QCOMPARE(answer()->text(), QStringLiteral("42"));
    QVERIFY(rawText(field(1)).endsWith(QStringLiteral(" checked")));

    // Describe the test.
    whenModalShows(QStringLiteral("Frmtitle"), [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("Txttitle"))->setText(QStringLiteral("  Week 3 drill "));
        dialog.findChild<QPushButton*>(QStringLiteral("cmdtitleaccept_0"))->click();
    });
    find<QPushButton>(QStringLiteral("Command1"))->click();
    QCOMPARE(label("Label5"), QStringLiteral("Week 3 drill"));
    QCOMPARE(folder->read("test.tmp").substr(0, 13), std::string("Week 3 drill "));

    // Save As a test file: the header and exactly the ten questions.
    prompts->fileNames = { "week3.dsq" };
    action(QStringLiteral("mnusave_0"))->trigger();
    QCOMPARE(label("Label7"), QStringLiteral("File : week3.dsq"));
    QCOMPARE(label("Label1"), QStringLiteral("10 / 10"));
    QCOMPARE(folder->read("week3.dsq").size(), std::size_t(11 * 2012));
    QCOMPARE(prompts->dialogs.back().title, std::string("Save Drug Test"));
    QVERIFY(action(QStringLiteral("mnusave_1"))->isVisible());

    // Export as text.
    prompts->fileNames = { "week3.TXT" };
    action(QStringLiteral("mnusave_0"))->trigger();
    const std::string text = folder->read("week3.TXT");
    QVERIFY(text.rfind("Week 3 drill\r\n\r\n\r\n", 0) == 0);
    QVERIFY(text.find("Question 1.\r\n") != std::string::npos);
    QVERIFY(text.find("Answers:\r\n\r\n1. 42          \r\n") != std::string::npos);
    QVERIFY(text.find("Solutions:") != std::string::npos);
    QCOMPARE(label("Label7"), QStringLiteral("File : week3.dsq"));

    action(QStringLiteral("mnuquit"))->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(prompts->questions.empty());
    QVERIFY(!std::filesystem::exists(*folder / "test.tmp"));
    QVERIFY2(prompts->messages.empty(), prompts->messages.empty() ? "" : prompts->messages[0].text.c_str());

    // A fresh window lists the saved test and opens it with the same questions.
    window.reset();
    openWindow();
    QCOMPARE(action(QStringLiteral("mnuop_1"))->text(), QStringLiteral("&1 week3.dsq"));
    action(QStringLiteral("mnuop_1"))->trigger();
    QCOMPARE(label("Label5"), QStringLiteral("Week 3 drill"));
    QCOMPARE(label("Label1"), QStringLiteral("10 / 10"));
    QCOMPARE(label("Label7"), QStringLiteral("File : week3.dsq"));
    for (int k = 10; k >= 1; --k) {
        QCOMPARE(rawText(field(0)), questions[k - 1]);
        find<QToolButton>(QStringLiteral("cmdforward_0"))->click();
    }
    QCOMPARE(label("Label1"), QStringLiteral("10 / 10"));
    find<QPushButton>(QStringLiteral("Command2_0"))->click();
    QCOMPARE(answer()->text(), QStringLiteral("42"));
    QVERIFY(rawText(field(1)).endsWith(QStringLiteral(" checked")));
    QVERIFY(prompts->messages.empty());
}

// With TB_SCREENSHOT set to a file name, saves a picture of the window showing a
// generated question (tablet, or the category box TB_SCREENSHOT_CATEGORY names).
void TestWindowTest::screenshot()
{
    const QString path = qEnvironmentVariable("TB_SCREENSHOT");
    if (path.isEmpty())
        QSKIP("TB_SCREENSHOT is not set");
    const int box = qBound(0, qEnvironmentVariableIntValue("TB_SCREENSHOT_CATEGORY"), 3);
    const int category = qEnvironmentVariableIsSet("TB_SCREENSHOT_CATEGORY") ? box : 1;
    openWindow();
    onlyCategory(category);
    createQuestions(QStringLiteral("1"));
    for (int i = 0; i < 4; ++i)
        if (i != category)
            find<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->click();
    QTest::qWait(200);
    QVERIFY(window->grab().save(path));
}

QTEST_MAIN(TestWindowTest)
#include "test_window_test.moc"
