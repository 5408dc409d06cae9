#include "gui/student/free_practice_window.h"

#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/student/sessions.h"
#include "gui/common/program_text.h"
#include "gui/common/weight_dose_box.h"
#include "gui/student/question_panel.h"
#include "gui/student/session_end.h"
#include "gui/student/window_parts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace tb {

namespace {

constexpr std::array<const char*, 8> CategoryCaptions { "M&etric Conversions", "&Tablet Dosages", "F&luid Dosages",
    "&IV Drop Rates", "Infusion &Pump Rates", "Infusion Ti&mes", "&Weight-Based Doses", "&Units: Heparin and Insulin" };

} // namespace

FreePracticeWindow::FreePracticeWindow(
    AppState& state, bool drugDatabase, std::string student, std::filesystem::path dataFolder, QWidget* parent)
    : QMainWindow(parent)
    , state_(state)
    , student_(std::move(student))
    , dataFolder_(std::move(dataFolder))
    , start_(std::chrono::system_clock::now())
{
    createWidgets(drugDatabase);
    connectWidgets();
    showState();
}

FreePracticeWindow::~FreePracticeWindow() = default;

void FreePracticeWindow::createWidgets(bool drugDatabase)
{
    setObjectName(QStringLiteral("FreePracticeWindow"));
    setWindowTitle(QStringLiteral("Free Practice - Dosarion"));
    addSessionMenus(*this, QStringLiteral("&Finish Practice"), "mnuFinish");

    auto* central = new QWidget(this);
    auto* categories = new QGroupBox(QStringLiteral("Categories"), central);
    categories->setObjectName(QStringLiteral("CategoryGroup"));
    auto* categoryLayout = new QVBoxLayout(categories);
    for (std::size_t i = 0; i < CategoryCheck_.size(); ++i) {
        QCheckBox* box = new QCheckBox(QString::fromLatin1(CategoryCaptions[i]), categories);
        box->setObjectName(QStringLiteral("CategoryCheck%1").arg(i + 1));
        box->setAccessibleName(QString::fromLatin1(CategoryCaptions[i]).remove(QLatin1Char('&')));
        categoryLayout->addWidget(box);
        CategoryCheck_[i] = box;
    }
    CategoryCheck_[0]->setChecked(true);
    DrugCategoryLabel_ = new QLabel(drugDatabase ? QStringLiteral("&Drug categories (none ticked: every drug):")
                                                 : QStringLiteral("No drug database in this folder: tablet "
                                                                  "and fluid questions cannot be made."),
        central);
    DrugCategoryLabel_->setObjectName(QStringLiteral("DrugCategoryLabel"));
    DrugCategoryLabel_->setWordWrap(true);
    DrugCategoryList_ = new QListWidget(central);
    DrugCategoryList_->setObjectName(QStringLiteral("DrugCategoryList"));
    DrugCategoryList_->setAccessibleName(QStringLiteral("Drug categories"));
    DrugCategoryLabel_->setBuddy(DrugCategoryList_);
    if (drugDatabase) {
        for (int i = 1; i <= state_.categories.CategoryCount; ++i) {
            auto* item = new QListWidgetItem(
                fromProgram(state_.categories.CategoryName[static_cast<std::size_t>(i)]).trimmed());
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(Qt::Unchecked);
            item->setData(Qt::UserRole, static_cast<int>(state_.categories.CategoryCode[static_cast<std::size_t>(i)]));
            DrugCategoryList_->addItem(item);
        }
    } else {
        CategoryCheck_[1]->setEnabled(false);
        CategoryCheck_[2]->setEnabled(false);
        DrugCategoryList_->setEnabled(false);
    }
    // Weight-based doses need the folder's file of doses per kg, read only here.
    showWeightDoseBox(*CategoryCheck_[WeightBasedDoses - 1], state_.dataFolder);
    NewQuestion_
        = sessionButton(QStringLiteral("&New Question"), "NewQuestionButton", QStringLiteral("New question"), central);

    auto* left = new QVBoxLayout;
    left->addWidget(categories);
    left->addWidget(DrugCategoryLabel_);
    left->addWidget(DrugCategoryList_, 1);
    left->addWidget(NewQuestion_);

    Panel_ = new QuestionPanel(true, central);
    TriesLabel_ = new QLabel(central);
    TriesLabel_->setObjectName(QStringLiteral("TriesLabel"));
    ShowSolution_ = sessionButton(
        QStringLiteral("Show &Solution"), "ShowSolutionButton", QStringLiteral("Show the worked solution"), central);
    Finish_ = sessionButton(QStringLiteral("&Finish"), "FinishButton", QStringLiteral("Finish the practice"), central);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ShowSolution_);
    buttons->addStretch();
    buttons->addWidget(Finish_);
    auto* right = new QVBoxLayout;
    right->addWidget(Panel_, 1);
    right->addWidget(TriesLabel_);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(central);
    layout->addLayout(left);
    layout->addLayout(right, 1);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusLine"));
    resize(900, 620);
}

void FreePracticeWindow::connectWidgets()
{
    connect(NewQuestion_, &QPushButton::clicked, this, &FreePracticeWindow::newQuestion);
    connect(Panel_, &QuestionPanel::answerGiven, this, &FreePracticeWindow::answerGiven);
    connect(ShowSolution_, &QPushButton::clicked, this, [this] {
        if (practices_.empty() || !practices_.back()->hasQuestion())
            return;
        practices_.back()->showSolution();
        showState();
    });
    connect(Finish_, &QPushButton::clicked, this, &FreePracticeWindow::close);
}

std::vector<int> FreePracticeWindow::tickedCategories() const
{
    std::vector<int> ticked;
    for (std::size_t i = 0; i < CategoryCheck_.size(); ++i)
        if (CategoryCheck_[i]->isEnabled() && CategoryCheck_[i]->isChecked())
            ticked.push_back(static_cast<int>(i) + 1);
    return ticked;
}

std::vector<int> FreePracticeWindow::tickedDrugCategories() const
{
    std::vector<int> ticked;
    for (int row = 0; row < DrugCategoryList_->count(); ++row)
        if (DrugCategoryList_->item(row)->checkState() == Qt::Checked)
            ticked.push_back(DrugCategoryList_->item(row)->data(Qt::UserRole).toInt());
    return ticked;
}

void FreePracticeWindow::newQuestion()
{
    const std::vector<int> categories = tickedCategories();
    if (categories.empty()) {
        statusBar()->showMessage(QStringLiteral("Tick at least one category."));
        CategoryCheck_[0]->setFocus();
        return;
    }
    const std::vector<int> drugs = tickedDrugCategories();
    if (practices_.empty() || categories != categories_ || drugs != drugCategories_) {
        practices_.push_back(std::make_unique<FreePractice>(state_, categories, drugs, student_, start_));
        categories_ = categories;
        drugCategories_ = drugs;
    }
    FreePractice& practice = *practices_.back();
    if (!practice.nextQuestion()) {
        statusBar()->showMessage(fromProgram(practice.problem()));
        return;
    }
    statusBar()->clearMessage();
    Panel_->showQuestion(practice.current().question, QStringLiteral("Question %1").arg(questionsAsked()));
    showState();
    Panel_->focusAnswer();
}

int FreePracticeWindow::questionsAsked() const
{
    int asked = 0;
    for (const auto& practice : practices_)
        asked += practice->results(start_).total;
    return asked;
}

void FreePracticeWindow::answerGiven(const QString& typed)
{
    if (practices_.empty() || !practices_.back()->hasQuestion())
        return;
    FreePractice& practice = *practices_.back();
    const MarkedAnswer marked = practice.answer(toProgram(typed));
    Panel_->showFeedback(
        practice.current().question, marked, practice.current().done || practice.current().solutionShown);
    showState();
    if (practice.current().done)
        NewQuestion_->setFocus();
    else
        Panel_->focusAnswer();
}

void FreePracticeWindow::showState()
{
    const bool asking = !practices_.empty() && practices_.back()->hasQuestion();
    Panel_->setVisible(asking);
    ShowSolution_->setEnabled(asking && !practices_.back()->current().solutionShown);
    if (!asking) {
        TriesLabel_->setText(QStringLiteral("Tick the categories you want to practise and choose New Question."));
        return;
    }
    const FreePractice& practice = *practices_.back();
    if (practice.current().solutionShown)
        Panel_->showSolution(practice.current().question);
    Panel_->setAnswering(!practice.current().done);
    const int left = practice.triesLeft();
    TriesLabel_->setText(practice.current().done ? QString()
            : left == 1                          ? QStringLiteral("1 try left.")
                                                 : QStringLiteral("%1 tries left.").arg(left));
}

void FreePracticeWindow::closeEvent(QCloseEvent* event)
{
    if (!finished_ && !practices_.empty()) {
        finished_ = true;
        // One results file for the whole practice, whatever categories it went through.
        const auto end = std::chrono::system_clock::now();
        ResultsRecord all = practices_.front()->results(end);
        for (std::size_t i = 1; i < practices_.size(); ++i) {
            const ResultsRecord more = practices_[i]->results(end);
            all.score += more.score;
            all.total += more.total;
            for (ResultRow row : more.rows) {
                row.number = static_cast<int>(all.rows.size()) + 1;
                all.rows.push_back(std::move(row));
            }
        }
        saveSessionResults(this, dataFolder_, all);
    }
    event->accept();
}

} // namespace tb
