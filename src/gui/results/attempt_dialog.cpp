#include "gui/results/attempt_dialog.h"

#include "core/foundation/number_format.h"
#include "core/results/class_results.h"
#include "gui/common/program_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <ctime>

namespace tb {

namespace {

QString startText(const Attempt& attempt)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(attempt.record.start);
    std::tm local {};
    localtime_r(&seconds, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return QString::fromLatin1(text);
}

} // namespace

AttemptDialog::AttemptDialog(std::vector<const Attempt*> attempts, QWidget* parent)
    : QDialog(parent)
    , attempts_(std::move(attempts))
{
    setObjectName(QStringLiteral("AttemptDialog"));
    createWidgets();
    connectWidgets();
    if (!attempts_.empty()) {
        setWindowTitle(QStringLiteral("Attempts of %1").arg(fromProgram(attempts_.back()->record.student)));
        cboattempt_->setCurrentIndex(static_cast<int>(attempts_.size()) - 1);
        showAttempt(static_cast<int>(attempts_.size()) - 1);
    }
}

void AttemptDialog::createWidgets()
{
    auto* layout = new QVBoxLayout(this);
    cboattempt_ = new QComboBox(this);
    cboattempt_->setObjectName(QStringLiteral("cboattempt"));
    for (const Attempt* attempt : attempts_)
        cboattempt_->addItem(QStringLiteral("%1, %2: %3 of %4")
                                 .arg(startText(*attempt), fromProgram(attempt->record.way))
                                 .arg(attempt->record.score)
                                 .arg(attempt->record.total));
    layout->addWidget(cboattempt_);
    lblsummary_ = new QLabel(this);
    lblsummary_->setObjectName(QStringLiteral("lblsummary"));
    layout->addWidget(lblsummary_);
    grdanswers_ = new QTableWidget(0, 7, this);
    grdanswers_->setObjectName(QStringLiteral("grdanswers"));
    grdanswers_->setHorizontalHeaderLabels({ QStringLiteral("No."), QStringLiteral("Question"),
        QStringLiteral("Correct answer"), QStringLiteral("Answer given"), QStringLiteral("Mark"),
        QStringLiteral("Tries"), QStringLiteral("Diagnosis") });
    grdanswers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdanswers_->setWordWrap(true);
    grdanswers_->verticalHeader()->hide();
    grdanswers_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    grdanswers_->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    layout->addWidget(grdanswers_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdclose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 420);
}

void AttemptDialog::connectWidgets()
{
    connect(cboattempt_, &QComboBox::currentIndexChanged, this, &AttemptDialog::showAttempt);
}

void AttemptDialog::showAttempt(int index)
{
    if (index < 0 || index >= static_cast<int>(attempts_.size()))
        return;
    const Attempt& attempt = *attempts_[static_cast<std::size_t>(index)];
    const ResultsRecord& record = attempt.record;
    lblsummary_->setText(QStringLiteral("%1 of %2 (%3 %), %4, %5. Taken in %6.")
                             .arg(record.score)
                             .arg(record.total)
                             .arg(record.percent())
                             .arg(record.passed() ? QStringLiteral("pass") : QStringLiteral("fail"))
                             .arg(fromProgram(record.testFile))
                             .arg(fromProgram(durationText(attempt.seconds()))));
    grdanswers_->setRowCount(static_cast<int>(record.rows.size()));
    for (std::size_t r = 0; r < record.rows.size(); ++r) {
        const ResultRow& row = record.rows[r];
        const QStringList cells { QString::number(row.number), fromProgram(attempt.questionTexts[r]),
            fromProgram(row.correctAnswer), fromProgram(row.answerGiven),
            row.right ? QStringLiteral("right") : QStringLiteral("wrong"), QString::number(row.tries),
            fromProgram(row.diagnosis) };
        for (int c = 0; c < cells.size(); ++c)
            grdanswers_->setItem(static_cast<int>(r), c, new QTableWidgetItem(cells[c]));
    }
    grdanswers_->resizeRowsToContents();
}

} // namespace tb
