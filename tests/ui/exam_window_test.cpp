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

    // Unticking the last box ticks the four again; the infusion boxes start unticked and are not reticked.
    void categoryBoxes()
    {
        QCOMPARE(category(4)->text(), QStringLiteral("Infusion Pump Rates"));
        QCOMPARE(category(5)->text(), QStringLiteral("Infusion Times"));
        QVERIFY(!category(4)->isChecked() && !category(5)->isChecked());
        for (int i = 0; i < 4; ++i)
            category(i)->click();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(category(i)->isChecked(), i < 4);
        onlyCategory(5);
        category(5)->click();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(category(i)->isChecked(), i < 4);
    }

    void createWithOnlyOneInfusionBox_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("asks");
        QTest::newRow("pump rates") << 4 << QStringLiteral(" ml/hr");
        QTest::newRow("times") << 5 << QStringLiteral("How many minutes will the infusion take?");
    }

    void createWithOnlyOneInfusionBox()
    {
        QFETCH(int, box);
        QFETCH(QString, asks);
        onlyCategory(box);
        find<QLineEdit>("Text1")->setText(QStringLiteral("2"));
        find<QPushButton>("Cmdgenerate")->click();
        QCOMPARE(label("Label1"), QStringLiteral("2 / 2"));
        QVERIFY(rawText(field(0)).startsWith(QLatin1Char('\n')));
        QVERIFY2(rawText(field(0)).contains(asks), qPrintable(rawText(field(0))));
        QVERIFY(rawText(field(1)).startsWith(QStringLiteral("The Question was :")));
        bool whole = false;
        QVERIFY(answer()->text().toInt(&whole) > 0 && whole);
        QVERIFY(prompts->messages.empty());
    }

    void countBoxTakesOnlyDigits()
    {
        auto* count = find<QLineEdit>("Text1");
        count->clear();
        QTest::keyClicks(count, QStringLiteral("-.aZ99"));
        QCOMPARE(count->text(), QStringLiteral("99"));
        QTest::keyClick(count, Qt::Key_Backspace);
        QCOMPARE(count->text(), QStringLiteral("9"));
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

    void buildSaveAndReopenATest()
    {
        QSignalSpy closed(window.get(), &tb::ExamWindow::closed);
        QStringList questions;
        for (int k = 0; k < 3; ++k) {
            onlyCategory(k);
            find<QLineEdit>("Text1")->setText(QStringLiteral("1"));
            find<QPushButton>("Cmdgenerate")->click();
            QCOMPARE(label("Label1"), QStringLiteral("%1 / %1").arg(k + 1));
            questions << rawText(field(0));
        }
        QVERIFY(!action("mnusave_1")->isVisible());
        find<QToolButton>("cmdforward_0")->click();
        QCOMPARE(rawText(field(0)), questions[1]);
        find<QToolButton>("cmdforward_1")->click();
        answer()->selectAll();
        QTest::keyClicks(answer(), QStringLiteral("42"));
        find<QToolButton>("cmdforward_0")->click();
        find<QToolButton>("cmdforward_1")->click();
        QCOMPARE(answer()->text(), QStringLiteral("42"));
        describe(QStringLiteral("  Week 3 drill "), 0);
        QCOMPARE(label("Label5"), QStringLiteral("Week 3 drill"));

        prompts->fileNames = { "week3.dsq" };
        action("mnusave_0")->trigger();
        QCOMPARE(label("Label7"), QStringLiteral("File : week3.dsq"));
        QVERIFY(action("mnusave_1")->isVisible());
        action("mnuquit")->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(prompts->questions.empty());

        openWindow();
        QCOMPARE(action("mnuop_1")->text(), QStringLiteral("&1 week3.dsq"));
        action("mnuop_1")->trigger();
        QCOMPARE(label("Label5"), QStringLiteral("Week 3 drill"));
        QCOMPARE(answer()->text(), QStringLiteral("42"));
        QCOMPARE(rawText(field(0)), questions[2]);
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
