#include "gui/drugdb/drug_database_window.h"

#include "gui/common/program_text.h"
#include "gui/common/text_field.h"
#include "gui/drugdb/weight_dose_dialog.h"

#include "core/foundation/app_state.h"
#include "core/foundation/prompts.h"
#include "gui/common/centreform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace tb {

namespace {

constexpr int NameLength = 30;
constexpr int NumberLength = 12;
constexpr int CategoryLength = 20;

// Every box drops typed characters Windows-1252 lacks, without a sound; the number boxes also
// drop whatever testkey drops. Pasted text is left alone: a number box reads it by its leading
// number, and the record stores a character Windows-1252 lacks as "?".
FieldOptions nameBox(int length)
{
    return { .limit = static_cast<std::size_t>(length), .refusal = Refusal::Silent };
}

FieldOptions numberBox()
{
    return { .limit = NumberLength, .refusal = Refusal::Silent, .keeps = [](unsigned char byte) {
                int k = byte;
                DrugEditor::testkey(k);
                return k != 0;
            } };
}

LineField* makeBox(QWidget* parent, const QString& name, FieldOptions options)
{
    auto* box = new LineField(parent, std::move(options));
    box->setObjectName(name);
    return box;
}

QComboBox* makeList(QWidget* parent, const QString& name, const auto& items)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    for (const char* item : items)
        list->addItem(QString::fromLatin1(item));
    return list;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QString indexed(const char* name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

// Shows a number without losing digits: the typing limit never cuts a value the file holds.
void setNumberBox(QLineEdit* box, const std::string& text)
{
    box->setMaxLength(std::max<int>(NumberLength, static_cast<int>(text.size())));
    box->setText(fromProgram(text));
}

} // namespace

DrugDatabaseWindow::DrugDatabaseWindow(AppState& state, Prompts& prompts, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , prompts_(prompts)
    , editor_(state, prompts)
{
    setObjectName(QStringLiteral("frmDrugDatabase"));
    setWindowTitle(QStringLiteral("Drug Database"));
    createWidgets();
    connectWidgets();
    adjustSize();
    centreform(*this);

    try {
        loaded_ = editor_.Form_Load();
    } catch (const std::exception& e) {
        prompts_.message(e.what(), EditorTitle);
        loaded_ = false;
    }
    if (loaded_) {
        pushScreen();
    } else {
        // Nothing can be edited: hand back to the start window once the opening has finished.
        setEnabled(false);
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

DrugDatabaseWindow::~DrugDatabaseWindow() = default;

void DrugDatabaseWindow::createWidgets()
{
    Label1_ = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("Generic Name:"));
    Text1_ = makeBox(this, QStringLiteral("Text1"), nameBox(NameLength));
    Label2_ = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Trade Names:"));
    for (int t = 0; t < 2; ++t)
        Text2_[t] = makeBox(this, indexed("Text2", t), nameBox(NameLength));
    Label3_ = makeLabel(this, QStringLiteral("Label3"), QStringLiteral("Single Dose Range:"));
    for (int t = 0; t < 2; ++t) {
        Text3_[t] = makeBox(this, indexed("Text3", t), numberBox());
        List1_[t] = makeList(this, indexed("List1", t), EditorUnitItems);
    }
    Label5_ = makeLabel(this, QStringLiteral("Label5"), QStringLiteral("to"));
    Label10_ = makeLabel(this, QStringLiteral("Label10"), QStringLiteral("Fluid Increment:"));
    Increment_ = makeBox(this, QStringLiteral("Increment"), numberBox());
    Label14_ = makeLabel(this, QStringLiteral("Label14"), QStringLiteral("Lower dose range units"));
    Label4_ = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Available in:"));
    Label8_ = makeLabel(this, QStringLiteral("Label8"), QStringLiteral("Dose:"));
    Label7_ = makeLabel(this, QStringLiteral("Label7"), QStringLiteral("Half?"));
    for (int i = 0; i < EditorScreen::Rows; ++i) {
        Type_[i] = makeList(this, indexed("Type", i), EditorFormItems);
        Dose_[i] = makeBox(this, indexed("Dose", i), numberBox());
        doseunit_[i] = makeList(this, indexed("doseunit", i), EditorUnitItems);
        Check1_[i] = new QCheckBox(this);
        Check1_[i]->setObjectName(indexed("Check1", i));
        Label6_[i] = makeLabel(this, indexed("Label6", i), QStringLiteral("in"));
        noof_[i] = makeBox(this, indexed("noof", i), numberBox());
        Label11_[i] = makeLabel(this, indexed("Label11", i), QStringLiteral("ml"));
    }
    Label12_ = makeLabel(this, QStringLiteral("Label12"), QStringLiteral("Drug Category:"));
    Cbcategory_ = new QComboBox(this);
    Cbcategory_->setObjectName(QStringLiteral("Cbcategory"));
    Cbcategory_->setEditable(true);
    Cbcategory_->setLineEdit(new LineField(Cbcategory_, nameBox(CategoryLength)));
    Cbcategory_->setInsertPolicy(QComboBox::NoInsert);
    Label9_ = makeLabel(this, QStringLiteral("Label9"), QStringLiteral("Record:"));
    Recordno_ = makeLabel(this, QStringLiteral("Recordno"), QString());

    const char* ends[2] = { "First record", "Last record" };
    for (int c = 0; c < 2; ++c) {
        Command1_[c] = new QPushButton(QStringLiteral("|"), this);
        Command1_[c]->setObjectName(indexed("Command1", c + 2));
        Command1_[c]->setToolTip(QString::fromLatin1(ends[c]));
        Command1_[c]->setAccessibleName(QString::fromLatin1(ends[c]));
        Command1_[c]->setAutoDefault(false);
        Command1_[c]->setFixedWidth(Command1_[c]->fontMetrics().horizontalAdvance(QStringLiteral("|")) + 24);
    }
    const QStyle::StandardPixmap arrows[2] = { QStyle::SP_ArrowLeft, QStyle::SP_ArrowRight };
    const char* steps[2] = { "Previous record", "Next record" };
    for (int n = 0; n < 2; ++n) {
        next_[n] = new QToolButton(this);
        next_[n]->setObjectName(indexed("next", n));
        next_[n]->setIcon(style()->standardIcon(arrows[n]));
        next_[n]->setToolTip(QString::fromLatin1(steps[n]));
        next_[n]->setAccessibleName(QString::fromLatin1(steps[n]));
    }
    Delete_ = new QToolButton(this);
    Delete_->setObjectName(QStringLiteral("Delete"));
    Delete_->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    Delete_->setToolTip(QStringLiteral("Delete this record"));
    Delete_->setAccessibleName(QStringLiteral("Delete this record"));
    Command9_ = new QPushButton(QStringLiteral("&Weight Dose..."), this);
    Command9_->setObjectName(QStringLiteral("Command9"));
    Command9_->setToolTip(QStringLiteral("The dose per kg of this drug for weight-based dose questions"));
    Command9_->setAutoDefault(false);
    Quit_ = new QPushButton(QStringLiteral("&Quit"), this);
    Quit_->setObjectName(QStringLiteral("Quit"));
    Quit_->setAutoDefault(false);

    auto* form = new QGridLayout;
    form->addWidget(Label1_, 0, 0);
    form->addWidget(Text1_, 0, 1, 1, 2);
    form->addWidget(Label2_, 1, 0);
    form->addWidget(Text2_[0], 1, 1);
    form->addWidget(Text2_[1], 1, 2);

    auto* range = new QHBoxLayout;
    range->addWidget(Text3_[0]);
    range->addWidget(List1_[0]);
    range->addWidget(Label5_);
    range->addWidget(Text3_[1]);
    range->addWidget(List1_[1]);
    range->addStretch();
    form->addWidget(Label3_, 2, 0);
    form->addLayout(range, 2, 1, 1, 2);

    auto* increment = new QHBoxLayout;
    increment->addWidget(Increment_);
    increment->addWidget(Label14_);
    increment->addStretch();
    form->addWidget(Label10_, 3, 0);
    form->addLayout(increment, 3, 1, 1, 2);

    auto* rows = new QGridLayout;
    rows->addWidget(Label4_, 0, 0);
    rows->addWidget(Label8_, 0, 1);
    rows->addWidget(Label7_, 0, 3);
    for (int i = 0; i < EditorScreen::Rows; ++i) {
        rows->addWidget(Type_[i], i + 1, 0);
        rows->addWidget(Dose_[i], i + 1, 1);
        rows->addWidget(doseunit_[i], i + 1, 2);
        rows->addWidget(Check1_[i], i + 1, 3);
        rows->addWidget(Label6_[i], i + 1, 4);
        rows->addWidget(noof_[i], i + 1, 5);
        rows->addWidget(Label11_[i], i + 1, 6);
        // A hidden "Half?" box or volume keeps its room, so that the columns stand still
        // whatever forms the record has.
        for (QWidget* w : std::initializer_list<QWidget*> { Check1_[i], Label6_[i], noof_[i], Label11_[i] }) {
            QSizePolicy policy = w->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            w->setSizePolicy(policy);
        }
    }
    rows->setColumnStretch(7, 1);

    auto* category = new QHBoxLayout;
    category->addWidget(Label12_);
    category->addWidget(Cbcategory_, 1);

    auto* navigation = new QHBoxLayout;
    navigation->addWidget(Label9_);
    navigation->addWidget(Recordno_);
    navigation->addStretch();
    navigation->addWidget(Command1_[0]);
    navigation->addWidget(next_[0]);
    navigation->addWidget(next_[1]);
    navigation->addWidget(Command1_[1]);
    navigation->addSpacing(12);
    navigation->addWidget(Delete_);
    navigation->addSpacing(12);
    navigation->addWidget(Command9_);
    navigation->addWidget(Quit_);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(form);
    whole->addLayout(rows);
    whole->addLayout(category);
    whole->addLayout(navigation);
}

void DrugDatabaseWindow::connectWidgets()
{
    connect(Command1_[0], &QPushButton::clicked, this, [this] { Command1_Click(2); });
    connect(Command1_[1], &QPushButton::clicked, this, [this] { Command1_Click(3); });
    for (int n = 0; n < 2; ++n)
        connect(next_[n], &QToolButton::clicked, this, [this, n] { next_Click(n); });
    connect(Delete_, &QToolButton::clicked, this, &DrugDatabaseWindow::Delete_Click);
    connect(Command9_, &QPushButton::clicked, this, &DrugDatabaseWindow::Command9_Click);
    connect(Quit_, &QPushButton::clicked, this, &DrugDatabaseWindow::Quit_Click);
    for (int i = 0; i < EditorScreen::Rows; ++i)
        connect(Type_[i], &QComboBox::currentIndexChanged, this, [this, i] { Type_Click(i); });
}

void DrugDatabaseWindow::pullScreen()
{
    EditorScreen& s = editor_.screen;
    s.Text1 = toProgram(Text1_->text());
    for (int t = 0; t < 2; ++t) {
        s.Text2[t] = toProgram(Text2_[t]->text());
        s.Text3[t] = toProgram(Text3_[t]->text());
        s.List1[t] = List1_[t]->currentIndex();
    }
    s.Increment = toProgram(Increment_->text());
    for (int i = 0; i < EditorScreen::Rows; ++i) {
        s.Type[i] = Type_[i]->currentIndex();
        s.Dose[i] = toProgram(Dose_[i]->text());
        s.doseunit[i] = doseunit_[i]->currentIndex();
        s.Check1[i] = Check1_[i]->isChecked() ? 1 : 0;
        s.noof[i] = toProgram(noof_[i]->text());
    }
    s.Cbcategory = toProgram(Cbcategory_->currentText());
}

void DrugDatabaseWindow::pushScreen()
{
    const EditorScreen& s = editor_.screen;
    std::vector<QSignalBlocker> blockers;
    for (QComboBox* list : Type_)
        blockers.emplace_back(list);

    Text1_->setText(fromProgram(s.Text1));
    for (int t = 0; t < 2; ++t) {
        Text2_[t]->setText(fromProgram(s.Text2[t]));
        setNumberBox(Text3_[t], s.Text3[t]);
        List1_[t]->setCurrentIndex(s.List1[t]);
    }
    setNumberBox(Increment_, s.Increment);
    for (int i = 0; i < EditorScreen::Rows; ++i) {
        Type_[i]->setCurrentIndex(s.Type[i]);
        setNumberBox(Dose_[i], s.Dose[i]);
        doseunit_[i]->setCurrentIndex(s.doseunit[i]);
        Check1_[i]->setChecked(s.Check1[i] != 0);
        setNumberBox(noof_[i], s.noof[i]);
        const bool fluid = s.fluidRow[i];
        Check1_[i]->setHidden(fluid);
        Label6_[i]->setHidden(!fluid);
        noof_[i]->setHidden(!fluid);
        Label11_[i]->setHidden(!fluid);
    }

    QStringList items;
    for (const std::string& item : s.categoryItems)
        items << fromProgram(item);
    QStringList current;
    for (int c = 0; c < Cbcategory_->count(); ++c)
        current << Cbcategory_->itemText(c);
    const QSignalBlocker categoryBlocker(Cbcategory_);
    if (current != items) {
        Cbcategory_->clear();
        Cbcategory_->addItems(items);
    }
    Cbcategory_->setCurrentIndex(-1);
    Cbcategory_->setEditText(fromProgram(s.Cbcategory));

    Recordno_->setText(fromProgram(s.Recordno));
}

template <typename Action> void DrugDatabaseWindow::act(Action&& action)
{
    if (!loaded_)
        return;
    try {
        pullScreen();
        action();
    } catch (const std::exception& e) {
        prompts_.message(e.what(), EditorTitle);
    } catch (...) {
        prompts_.message("The drug database window met an unexpected problem; the record on the screen was "
                         "not saved.",
            EditorTitle);
    }
    pushScreen();
}

void DrugDatabaseWindow::Command1_Click(int index)
{
    act([&] { editor_.Command1_Click(index); });
}

void DrugDatabaseWindow::next_Click(int index)
{
    act([&] { editor_.next_Click(index); });
}

void DrugDatabaseWindow::Delete_Click()
{
    act([&] { editor_.Delete_Click(); });
}

void DrugDatabaseWindow::Type_Click(int index)
{
    act([&] { editor_.Type_Click(index); });
}

void DrugDatabaseWindow::Command9_Click()
{
    act([&] {
        // Keyed by the generic name, so that the dose stays with the drug when records move.
        if (editor_.weightDoseName().empty()) {
            prompts_.message(
                "Type the drug's generic name first: its dose per kg is kept under that name.", EditorTitle);
            return;
        }
        WeightDoseDialog dialog(editor_.weightDoseName(), editor_.shownWeightDose(), this);
        dialog.exec();
        if (dialog.outcome() != WeightDoseDialog::Outcome::Cancelled)
            editor_.storeShownWeightDose(dialog.dose());
    });
}

void DrugDatabaseWindow::Quit_Click()
{
    close();
}

void DrugDatabaseWindow::closeEvent(QCloseEvent* event)
{
    if (loaded_ && editor_.isOpen()) {
        bool closing = true;
        act([&] { closing = editor_.Form_Unload(); });
        if (!closing) {
            event->ignore();
            return;
        }
    }
    event->accept();
    if (!closedSent_) {
        closedSent_ = true;
        emit closed();
    }
}

} // namespace tb
