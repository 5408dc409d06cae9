#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/student/results_file.h"
#include "core/student/sessions.h"
#include "core/student/student_exam.h"
#include "gui/student/free_practice_window.h"
#include "gui/student/practise_window.h"
#include "gui/student/sitting_window.h"
#include "gui/student/student_start_window.h"
#include "gui/student/text_size.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace fs = std::filesystem;

namespace {

// A test file as Tutor Bench writes it: the header record, then the questions' records.
std::string examBytes(const char* title, int menuListed, const std::vector<tb::QuestionRecord>& questions)
{
    tb::TestHeader header;
    header.TestTitle = title;
    header.TestDescription = "Two questions from the sample test.";
    header.TestInstructions = "Round tablets to the nearest half.";
    header.MenuListed = menuListed;
    std::string bytes = header.pack();
    for (const tb::QuestionRecord& question : questions)
        bytes += question.pack();
    return bytes;
}

// A data folder with a listed test of two sample questions (0.5 tablets, 3 ml), one the
// teacher keeps out of the menu, and a file cut short.
struct Folder {
    explicit Folder(bool drugDatabase = false)
    {
        const tb::StudentExam sample = tb::readStudentExam(fs::path(TB_SOURCE_DIR) / "docs/sample-test.dsq");
        const std::vector<tb::QuestionRecord> two { sample.questions.at(0), sample.questions.at(1) };
        folder.write("Week5.DSQ", examBytes("Week 5 drill", 1, two));
        folder.write("draft.dsq", examBytes("Draft not for students", 0, two));
        folder.write("broken.dsq", "cut short");
        if (drugDatabase)
            folder.copySampleDatabase(TB_SAMPLE_DIR);
        state.dataFolder = folder.path();
    }

    std::unique_ptr<tb::StudentStartWindow> start()
    {
        auto window = std::make_unique<tb::StudentStartWindow>(state, false);
        window->show();
        return window;
    }

    std::vector<fs::path> results() const
    {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder / "results", ec))
            found.push_back(entry.path());
        return found;
    }

    tb::headless::TempFolder folder;
    tb::AppState state;
};

template <class T> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void answer(QWidget* window, const QString& typed)
{
    auto* box = child<QLineEdit>(window, "AnswerBox");
    box->clear();
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
}

void selectEntry(tb::StudentStartWindow& start, const QString& text)
{
    auto* list = child<QListWidget>(&start, "TestList");
    const auto items = list->findItems(text, Qt::MatchExactly);
    QVERIFY(!items.isEmpty());
    list->setCurrentItem(items.front());
}

// Every control a student can reach says what it is to a screen reader.
void checkAccessibleNames(QWidget* window)
{
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(control) && !qobject_cast<QLineEdit*>(control)
            && !qobject_cast<QAbstractItemView*>(control) && !qobject_cast<QTextEdit*>(control)
            && !qobject_cast<QPlainTextEdit*>(control))
            continue;
        if (control->objectName().startsWith(QStringLiteral("qt_")))
            continue; // the toolkit's own parts of a menu bar or a scroll area
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
}

// DOSARION_PICTURES=<folder> saves each window as the README shows it.
void picture(QWidget* window, const char* name)
{
    const QString folder = qEnvironmentVariable("DOSARION_PICTURES");
    if (!folder.isEmpty())
        window->grab().save(folder + QLatin1Char('/') + QString::fromLatin1(name));
}

} // namespace

class StudentWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startListsTheMenuTestsNamesDamagedOnesAndAsksTheName()
    {
        Folder f;
        auto start = f.start();
        auto* list = child<QListWidget>(start.get(), "TestList");
        QStringList shown;
        for (int row = 0; row < list->count(); ++row)
            shown << list->item(row)->text();
        QCOMPARE(shown,
            QStringList({ QStringLiteral("broken.dsq (cannot be read)"), QStringLiteral("Week 5 drill"),
                QStringLiteral("Free practice") }));
        QVERIFY(child<QLabel>(start.get(), "ResultsWarning")->isHidden());

        selectEntry(*start, QStringLiteral("broken.dsq (cannot be read)"));
        QVERIFY(!child<QPushButton>(start.get(), "StartButton")->isEnabled());
        selectEntry(*start, QStringLiteral("Week 5 drill"));
        const QString details = child<QTextBrowser>(start.get(), "TestDetails")->toPlainText();
        QVERIFY(details.contains(QStringLiteral("Two questions from the sample test.")));
        QVERIFY(details.contains(QStringLiteral("Round tablets to the nearest half.")));
        QVERIFY(details.contains(QStringLiteral("2 questions.")));
        QVERIFY(details.contains(QStringLiteral("Practice: 3 tries a question")));

        // No name, no start; once started the name stays for the session.
        child<QPushButton>(start.get(), "StartButton")->click();
        QVERIFY(!start->openWindow());
        QCOMPARE(start->statusBar()->currentMessage(), QStringLiteral("Type your name or student number first."));
        QTest::keyClicks(child<QLineEdit>(start.get(), "NameBox"), QStringLiteral(" Jo Bloggs "));
        picture(start.get(), "dosarion-start.png");
        child<QPushButton>(start.get(), "StartButton")->click();
        QVERIFY(start->openWindow());
        QCOMPARE(child<QLineEdit>(start.get(), "NameBox")->text(), QStringLiteral("Jo Bloggs"));
        QVERIFY(child<QLineEdit>(start.get(), "NameBox")->isReadOnly());
        checkAccessibleNames(start.get());
    }

    void resultsFolderThatCannotBeWrittenIsReportedAtStart()
    {
        Folder f;
        f.folder.write("results", "a file where the folder should be");
        auto start = f.start();
        QVERIFY(!child<QLabel>(start.get(), "ResultsWarning")->isHidden());
        QVERIFY(child<QLabel>(start.get(), "ResultsWarning")
                    ->text()
                    .startsWith(QStringLiteral("Your results cannot be saved")));
        // Practice still starts.
        QTest::keyClicks(child<QLineEdit>(start.get(), "NameBox"), QStringLiteral("S1234"));
        selectEntry(*start, QStringLiteral("Week 5 drill"));
        child<QPushButton>(start.get(), "StartButton")->click();
        QVERIFY(qobject_cast<tb::PractiseWindow*>(start->openWindow()));
    }

    void practiseMarksAtOnceGivesThreeTriesThenTheSolution()
    {
        Folder f;
        auto start = f.start();
        QTest::keyClicks(child<QLineEdit>(start.get(), "NameBox"), QStringLiteral("Jo"));
        selectEntry(*start, QStringLiteral("Week 5 drill"));
        child<QPushButton>(start.get(), "StartButton")->click();
        QPointer<QMainWindow> window = start->openWindow();
        QVERIFY(qobject_cast<tb::PractiseWindow*>(window.data()));
        QVERIFY(start->isHidden());
        QCOMPARE(child<QLabel>(window, "UnitLabel")->text(), QStringLiteral("tablets"));
        QVERIFY(child<QWidget>(window, "SolutionBox")->isHidden());

        // ".5" is right, marked by its value with the note; the solution follows.
        answer(window, QStringLiteral(".5"));
        const QString feedback = child<QLabel>(window, "FeedbackText")->text();
        QVERIFY2(feedback.startsWith(QStringLiteral("Right.")), qPrintable(feedback));
        QVERIFY(feedback.contains(QStringLiteral("Write a zero before the decimal point: 0.5")));
        auto* solution = child<QPlainTextEdit>(window, "SolutionBox");
        QVERIFY(!solution->isHidden());
        QVERIFY(QFontInfo(solution->font()).fixedPitch());
        QVERIFY(solution->toPlainText().contains(QStringLiteral("Required dose\n-----------------------\nStock dose")));
        QVERIFY(child<QLineEdit>(window, "AnswerBox")->isReadOnly());
        picture(window, "dosarion-practise.png");

        // A refused answer costs no try; three wrong ones end with the diagnosis and the solution.
        child<QPushButton>(window, "NextButton")->click();
        QCOMPARE(child<QLabel>(window, "UnitLabel")->text(), QStringLiteral("millilitres"));
        answer(window, QStringLiteral("1,5"));
        QCOMPARE(child<QLabel>(window, "TriesLabel")->text(), QStringLiteral("3 tries left."));
        QVERIFY(child<QWidget>(window, "SolutionBox")->isHidden());
        answer(window, QStringLiteral("30"));
        QCOMPARE(child<QLabel>(window, "TriesLabel")->text(), QStringLiteral("2 tries left."));
        QVERIFY(child<QLabel>(window, "FeedbackText")->text().contains(QStringLiteral("10 times too large")));
        // While tries are left the correct answer is not given away.
        QVERIFY(!child<QLabel>(window, "FeedbackText")->text().contains(QStringLiteral("correct answer")));
        answer(window, QStringLiteral("30 ml"));
        answer(window, QStringLiteral("0.3"));
        QVERIFY(child<QLabel>(window, "FeedbackText")->text().startsWith(QStringLiteral("Wrong.")));
        QVERIFY(child<QLabel>(window, "FeedbackText")->text().contains(QStringLiteral("3 millilitres")));
        QVERIFY(!child<QWidget>(window, "SolutionBox")->isHidden());
        QVERIFY(child<QLineEdit>(window, "AnswerBox")->isReadOnly());
        // Going back shows where the first question stands.
        child<QPushButton>(window, "PreviousButton")->click();
        QCOMPARE(child<QLineEdit>(window, "AnswerBox")->text(), QStringLiteral(".5"));
        QVERIFY(!child<QPushButton>(window, "AnotherLikeThisButton")->isEnabled());
        checkAccessibleNames(window);

        // Finishing writes one results file and brings the start window back.
        child<QPushButton>(window, "FinishButton")->click();
        QTRY_VERIFY(window.isNull());
        QVERIFY(start->isVisible());
        const auto files = f.results();
        QCOMPARE(files.size(), std::size_t(1));
        const tb::ResultsRecord read = tb::readResults(files.front());
        QCOMPARE(read.student, std::string("Jo"));
        QCOMPARE(read.way, std::string("practise"));
        QCOMPARE(read.score, 1);
        QCOMPARE(read.rows.size(), std::size_t(2));
        QCOMPARE(read.rows[1].tries, 3);
    }

    void sittingKeepsAnswersUntilSubmittedThenReviewsThem()
    {
        Folder f;
        f.folder.write("Week5.student.txt", "mode = sit\nattempts = 1\nminutes per question = 3\npass mark = 100\n");
        auto start = f.start();
        QTest::keyClicks(child<QLineEdit>(start.get(), "NameBox"), QStringLiteral("Jo"));
        selectEntry(*start, QStringLiteral("Week 5 drill"));
        QVERIFY(child<QTextBrowser>(start.get(), "TestDetails")
                    ->toPlainText()
                    .contains(QStringLiteral("Time allowed: 6 minutes.")));
        child<QPushButton>(start.get(), "StartButton")->click();
        QPointer<QMainWindow> window = start->openWindow();
        QVERIFY(qobject_cast<tb::SittingWindow*>(window.data()));
        QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("CheckButton")));
        QVERIFY(child<QLabel>(window, "TimeLabel")->text().startsWith(QStringLiteral("Time left: 5:")));

        // Enter keeps the answer and moves on; going back shows it unmarked.
        answer(window, QStringLiteral("0.5"));
        answer(window, QStringLiteral("30"));
        child<QPushButton>(window, "PreviousButton")->click();
        QCOMPARE(child<QLineEdit>(window, "AnswerBox")->text(), QStringLiteral("0.5"));
        QVERIFY(child<QLabel>(window, "FeedbackText")->isHidden());
        QVERIFY(child<QWidget>(window, "SolutionBox")->isHidden());
        picture(window, "dosarion-sit.png");
        checkAccessibleNames(window);

        child<QPushButton>(window, "SubmitButton")->click();
        QCOMPARE(child<QLabel>(window, "ScoreLabel")->text(),
            QStringLiteral("Score: 1 of 2 (50 %): not passed (pass mark 100 %)."));
        const QString review = child<QTextBrowser>(window, "ReviewBox")->toPlainText();
        QVERIFY(review.contains(QStringLiteral("10 times too large")));
        QVERIFY(review.contains(QStringLiteral("The formula to use is:")));
        picture(window, "dosarion-review.png");
        window->close();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(f.results().size(), std::size_t(1));
        QCOMPARE(tb::readResults(f.results().front()).way, std::string("sit"));

        // One attempt allowed, one had: the test does not open again.
        selectEntry(*start, QStringLiteral("Week 5 drill"));
        child<QPushButton>(start.get(), "StartButton")->click();
        QVERIFY(!start->openWindow());
        QVERIFY(!start->statusBar()->currentMessage().isEmpty());
    }

    void freePracticeMakesFreshQuestionsAndMarksThem()
    {
        Folder f(true);
        QVERIFY(!tb::loadStudentFiles(f.state));
        tb::FreePracticeWindow window(f.state, true, "Jo", f.folder.path());
        window.show();
        QVERIFY(child<QListWidget>(&window, "DrugCategoryList")->count() > 0);
        child<QCheckBox>(&window, "CategoryCheck1")->setChecked(false);
        child<QPushButton>(&window, "NewQuestionButton")->click();
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Tick at least one category."));
        QCOMPARE(window.questionsAsked(), 0);

        child<QCheckBox>(&window, "CategoryCheck2")->setChecked(true);
        child<QPushButton>(&window, "NewQuestionButton")->click();
        QCOMPARE(window.questionsAsked(), 1);
        QVERIFY(!child<QLabel>(&window, "QuestionText")->text().isEmpty());
        const QString unit = child<QLabel>(&window, "UnitLabel")->text();
        QVERIFY2(unit == QStringLiteral("tablets") || unit == QStringLiteral("capsules"), qPrintable(unit));
        answer(&window, QStringLiteral("1 000"));
        QCOMPARE(child<QLabel>(&window, "TriesLabel")->text(), QStringLiteral("3 tries left."));
        QVERIFY(!child<QLabel>(&window, "FeedbackText")->text().isEmpty());
        child<QPushButton>(&window, "ShowSolutionButton")->click();
        QVERIFY(!child<QWidget>(&window, "SolutionBox")->isHidden());
        picture(&window, "dosarion-free-practice.png");
        checkAccessibleNames(&window);

        // Other categories go on in the same practice, and end in one results file.
        child<QCheckBox>(&window, "CategoryCheck1")->setChecked(true);
        child<QPushButton>(&window, "NewQuestionButton")->click();
        QCOMPARE(window.questionsAsked(), 2);
        window.close();
        QCOMPARE(f.results().size(), std::size_t(1));
        const tb::ResultsRecord read = tb::readResults(f.results().front());
        QCOMPARE(read.rows.size(), std::size_t(2));
        QCOMPARE(read.rows[1].number, 2);
    }

    void withoutDrugDatabaseOnlyTheOtherCategoriesAreOffered()
    {
        Folder f;
        tb::FreePracticeWindow window(f.state, false, "Jo", f.folder.path());
        QVERIFY(!child<QCheckBox>(&window, "CategoryCheck2")->isEnabled());
        QVERIFY(!child<QCheckBox>(&window, "CategoryCheck3")->isEnabled());
        QVERIFY(child<QCheckBox>(&window, "CategoryCheck4")->isEnabled());
    }

    void textSizeIsKeptAndBounded()
    {
        tb::setTextSize(12);
        QCOMPARE(tb::savedTextSize(), 12);
        Folder f;
        auto start = f.start();
        child<QAction>(start.get(), "mnuLargerText")->trigger();
        QCOMPARE(tb::savedTextSize(), 14);
        QCOMPARE(QApplication::font().pointSize(), 14);
        for (int i = 0; i < 20; ++i)
            child<QAction>(start.get(), "mnuSmallerText")->trigger();
        QCOMPARE(tb::savedTextSize(), tb::SmallestTextSize);
        tb::setTextSize(10);
    }
};

QTEST_MAIN(StudentWindowsTest)
#include "student_windows_test.moc"
