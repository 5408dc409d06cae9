#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"
#include "testbuilder/exam_model.h"
#include "testbuilder/exam_window.h"

#include <QtTest>
#include <QtWidgets>

#include <filesystem>
#include <memory>

namespace {

// The field's text as the teacher sees it, no-break spaces included.
QString rawText(const QPlainTextEdit* edit)
{
    return edit->document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

std::string testFile(const std::vector<tb::QuestionRecord>& questions)
{
    std::string bytes = tb::TestHeader().pack();
    for (const auto& question : questions)
        bytes += question.pack();
    return bytes;
}

} // namespace

class TestWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        window.reset();
        state.reset();
        folder = std::make_unique<tb::testing::TempFolder>();
        folder->copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder->path());
        QVERIFY(!tb::loadStartupFiles(*state));
        prompts = std::make_unique<tb::testing::FakePrompts>();
        openWindow();
    }

    void navigationNeedsQuestionAndAnswer()
    {
        QCOMPARE(label("Label1"), QStringLiteral("1 / 1"));
        QCOMPARE(label("Label7"), QStringLiteral("File : test.tmp"));
        QVERIFY(!find<QLabel>("Label6")->isHidden());
        QCOMPARE(navigationShown(), 0);
        QTest::keyClicks(answer(), QStringLiteral("5"));
        QCOMPARE(navigationShown(), 0);
        QVERIFY(!find<QLabel>("Label6")->isHidden());
        QTest::keyClicks(field(0), QStringLiteral("How many tablets?"));
        QCOMPARE(navigationShown(), 4);
        QVERIFY(find<QLabel>("Label6")->isHidden());
    }

    void lastCategoryBoxTicksAllFour()
    {
        for (int i = 0; i < 3; ++i)
            category(i)->click();
        QVERIFY(!category(0)->isChecked());
        category(3)->click();
        for (int i = 0; i < 4; ++i)
            QVERIFY(category(i)->isChecked());
    }

    void infusionBoxesStartUntickedAndAreNotReticked()
    {
        QCOMPARE(category(4)->text(), QStringLiteral("Infusion Pump Rates"));
        QCOMPARE(category(5)->text(), QStringLiteral("Infusion Times"));
        QVERIFY(!category(4)->isChecked() && !category(5)->isChecked());
        onlyCategory(5);
        category(5)->click();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(category(i)->isChecked(), i < 4);
    }

    void createWithOnlyOneInfusionBox()
    {
        const std::pair<int, QString> cases[]
            = { { 4, QStringLiteral(" ml/hr") }, { 5, QStringLiteral("How many minutes will the infusion take?") } };
        for (const auto& [box, asks] : cases) {
            onlyCategory(box);
            find<QLineEdit>("Text1")->setText(QStringLiteral("2"));
            find<QPushButton>("Cmdgenerate")->click();
            QVERIFY(rawText(field(0)).startsWith(QLatin1Char('\n')));
            QVERIFY2(rawText(field(0)).contains(asks), qPrintable(rawText(field(0))));
            QVERIFY(rawText(field(1)).startsWith(QStringLiteral("The Question was :")));
            bool whole = false;
            QVERIFY(answer()->text().toInt(&whole) > 0 && whole);
        }
        QCOMPARE(label("Label1"), QStringLiteral("4 / 4"));
        QVERIFY(prompts->messages.empty());
    }

    void countBoxTakesOnlyDigits()
    {
        auto* count = find<QLineEdit>("Text1");
        const std::pair<const char*, const char*> cases[]
            = { { "-", "" }, { ".", "" }, { "aZ", "" }, { "99", "99" }, { "99\b", "9" } };
        for (const auto& [typed, shown] : cases) {
            count->clear();
            QTest::keyClicks(count, QString::fromLatin1(typed));
            QCOMPARE(count->text(), QString::fromLatin1(shown));
        }
    }

    void twelveTestFilesAreListed()
    {
        for (int i = 1; i <= 12; ++i)
            folder->write(QStringLiteral("t%1.dsq").arg(i, 2, 10, QLatin1Char('0')).toStdString(), testFile({}));
        openWindow();
        QCOMPARE(action("mnuop_1")->text(), QStringLiteral("&1 t01.dsq"));
        QCOMPARE(action("mnuop_9")->text(), QStringLiteral("&9 t09.dsq"));
        QCOMPARE(action("mnuop_10")->text(), QStringLiteral("10 t10.dsq"));
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("mnuop_13")));
    }

    // Shown as U+00B5 and U+00A0, stored back by Save Test (visible after Open) as bytes 181 and 160.
    void microAndNoBreakSpaceRoundTrip()
    {
        const std::string question = "Give 250 \xB5g.\r\nHow many ml?";
        const std::string solution = "Dose\xA0\xA0= 250\xA0\xB5g";
        folder->write("micro.dsq", testFile({ { question, solution, "0.5" } }));
        openWindow();
        QVERIFY(!action("mnusave_1")->isVisible());
        prompts->fileNames = { "micro.dsq" };
        action("mnuopen_1")->trigger();
        QVERIFY(action("mnusave_1")->isVisible());
        QCOMPARE(rawText(field(0)), QStringLiteral("Give 250 \u00B5g.\nHow many ml?"));
        QCOMPARE(rawText(field(1)), QStringLiteral("Dose\u00A0\u00A0= 250\u00A0\u00B5g"));

        field(0)->moveCursor(QTextCursor::End);
        QTest::keyClicks(field(0), QStringLiteral(" \u00B5"));
        action("mnusave_1")->trigger();
        const auto stored = tb::QuestionRecord::unpack(folder->read("micro.dsq").substr(2012, 2012));
        QCOMPARE(tb::stripBlanks(stored.questionText), question + " \xB5");
        QCOMPARE(tb::stripBlanks(stored.solutionText), solution);
    }

    void cancelledDescriptionRewritesTheHeaderUnchanged()
    {
        const std::string header = folder->read("test.tmp").substr(0, 2012);
        folder->write("test.tmp", "");
        describe(QStringLiteral("Changed"), 1);
        QCOMPARE(label("Label5"), QStringLiteral("untitled"));
        QVERIFY(folder->read("test.tmp").substr(0, 2012) == header);
    }

    void buildSaveExportAndReopenATest()
    {
        QSignalSpy closed(window.get(), &tb::ExamWindow::closed);

        // Ten questions of the four categories, one Create at a time.
        const std::array<int, 10> categories { 0, 1, 2, 3, 0, 1, 2, 3, 1, 2 };
        QStringList questions;
        for (int k = 0; k < 10; ++k) {
            onlyCategory(categories[k]);
            find<QLineEdit>("Text1")->setText(QStringLiteral("1"));
            find<QPushButton>("Cmdgenerate")->click();
            QCOMPARE(label("Label1"), QStringLiteral("%1 / %1").arg(k + 1));
            questions << rawText(field(0));
            QVERIFY(!rawText(field(1)).isEmpty() && !answer()->text().isEmpty());
        }
        QVERIFY(!action("mnusave_1")->isVisible());

        // Step back through all of them and round to the last again.
        for (int k = 9; k >= 0; --k) {
            find<QToolButton>("cmdforward_0")->click();
            QCOMPARE(rawText(field(0)), questions[(k + 9) % 10]);
        }
        QCOMPARE(label("Label1"), QStringLiteral("10 / 10"));

        // Edit question 10's answer, leave it and come back.
        answer()->selectAll();
        QTest::keyClicks(answer(), QStringLiteral("42"));
        find<QToolButton>("cmdforward_0")->click();
        find<QToolButton>("cmdforward_1")->click();
        QCOMPARE(answer()->text(), QStringLiteral("42"));

        describe(QStringLiteral("  Week 3 drill "), 0);
        QCOMPARE(label("Label5"), QStringLiteral("Week 3 drill"));

        // Save As a test file: the header and exactly the ten questions.
        prompts->fileNames = { "week3.dsq" };
        action("mnusave_0")->trigger();
        QCOMPARE(label("Label7"), QStringLiteral("File : week3.dsq"));
        QCOMPARE(folder->read("week3.dsq").size(), std::size_t(11 * 2012));
        QVERIFY(action("mnusave_1")->isVisible());

        prompts->fileNames = { "week3.TXT" };
        action("mnusave_0")->trigger();
        const std::string text = folder->read("week3.TXT");
        QVERIFY(text.rfind("Week 3 drill\r\n\r\n\r\n", 0) == 0);
        QVERIFY(text.find("Question 1.\r\n") != std::string::npos);
        QVERIFY(text.find("\r\n10. 42          \r\n") != std::string::npos);

        action("mnuquit")->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(prompts->questions.empty());
        QVERIFY(!std::filesystem::exists(*folder / "test.tmp"));

        // A fresh window lists the saved test and opens it with the same questions.
        openWindow();
        QCOMPARE(action("mnuop_1")->text(), QStringLiteral("&1 week3.dsq"));
        action("mnuop_1")->trigger();
        QCOMPARE(label("Label5"), QStringLiteral("Week 3 drill"));
        QCOMPARE(answer()->text(), QStringLiteral("42"));
        for (int k = 9; k >= 0; --k) {
            QCOMPARE(rawText(field(0)), questions[k]);
            find<QToolButton>("cmdforward_0")->click();
        }
        QVERIFY(prompts->messages.empty());
    }

private:
    void openWindow()
    {
        window.reset();
        window = std::make_unique<tb::ExamWindow>(*state, *prompts);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // Types a title in the description dialog and leaves it by OK (0) or Cancel (1).
    void describe(const QString& title, int button) const
    {
        QTimer::singleShot(0, [title, button] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog && dialog->objectName() == QLatin1String("Frmtitle"));
            dialog->findChild<QLineEdit*>(QStringLiteral("Txttitle"))->setText(title);
            dialog->findChild<QPushButton*>(QStringLiteral("cmdtitleaccept_%1").arg(button))->click();
        });
        find<QPushButton>("Command1")->click();
    }
    template <class T> T* find(const QString& name) const { return window->findChild<T*>(name); }
    QPlainTextEdit* field(int i) const { return find<QPlainTextEdit>(QStringLiteral("Txtquestion_%1").arg(i)); }
    QLineEdit* answer() const { return find<QLineEdit>("txtanswer"); }
    QCheckBox* category(int i) const { return find<QCheckBox>(QStringLiteral("Check1_%1").arg(i)); }
    QAction* action(const char* name) const { return find<QAction>(QString::fromLatin1(name)); }
    QString label(const char* name) const { return find<QLabel>(QString::fromLatin1(name))->text(); }
    int navigationShown() const // how many of the four navigation buttons show
    {
        int shown = 0;
        for (const char* name : { "cmdforward_0", "cmdforward_1", "Command2_0", "Command2_1" })
            shown += !find<QWidget>(QString::fromLatin1(name))->isHidden();
        return shown;
    }
    void onlyCategory(int box) const
    {
        if (!category(box)->isChecked())
            category(box)->click();
        for (int i = 0; i < 6; ++i)
            if (i != box && category(i)->isChecked())
                category(i)->click();
    }

    std::unique_ptr<tb::testing::TempFolder> folder;
    std::unique_ptr<tb::AppState> state;
    std::unique_ptr<tb::testing::FakePrompts> prompts;
    std::unique_ptr<tb::ExamWindow> window;
};

QTEST_MAIN(TestWindowTest)
#include "exam_window_test.moc"
