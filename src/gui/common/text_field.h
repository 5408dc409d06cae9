#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSize>
#include <QString>

#include <cstddef>
#include <functional>
#include <string>

class QMimeData;

namespace tb {

/// What a box does with a typed key it cannot take: a character Windows-1252 lacks, a key its
/// filter drops, or (multi-line) a key past its limit.
enum class Refusal {
    Unguarded, ///< the box takes every key; its window checks them itself
    Beep, ///< the key is refused with a beep
    Silent, ///< the key is dropped without a sound
};

/// How one text box keeps what is typed, pasted or dropped within Windows-1252 and a length.
struct FieldOptions {
    /// The limit in stored characters (a line break counts two, CR LF); 0: none. A one-line
    /// box keeps it as its maximum length.
    std::size_t limit = 0;
    /// Multi-line: Enter starts a line and pasted line breaks stay. Without, Enter types
    /// nothing and pasted line breaks become blanks, so the text stays one paragraph.
    bool lineBreaks = true;
    Refusal refusal = Refusal::Unguarded;
    /// One-line: pasted characters Windows-1252 lacks show as "?" at once.
    bool marksPasted = false;
    /// Looks at the Windows-1252 byte of each typed character; false drops the key.
    std::function<bool(unsigned char)> keeps = nullptr;
};

/// A multi-line text box. Pasted and dropped text always comes in fitted: characters
/// Windows-1252 lacks become "?" and what passes the limit is cut. A guarded box also refuses
/// typed keys and input-method text that Windows-1252 lacks or that pass the limit.
class FieldEdit final : public QPlainTextEdit {
public:
    explicit FieldEdit(QWidget* parent, FieldOptions options = {});
    void setOptions(FieldOptions options) { options_ = std::move(options); }
    const FieldOptions& options() const { return options_; }
    /// The size asked for where the screen has room; the minimum size can be far smaller.
    void setPreferredSize(QSize size) { preferred_ = size; }
    QSize sizeHint() const override;
    /// The text exactly as typed: toPlainText() would turn no-break spaces into plain
    /// blanks, which would lose the no-break space bytes of generated solutions.
    QString rawText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    /// How many stored characters may still be added in place of the selection.
    std::size_t room() const;
    void refuse() const;

    FieldOptions options_;
    QSize preferred_;
};

/// A one-line text box: its limit is its maximum length; a guarded box refuses typed
/// characters Windows-1252 lacks and those its filter drops.
class LineField final : public QLineEdit {
public:
    explicit LineField(QWidget* parent, FieldOptions options = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    FieldOptions options_;
};

/// One Windows-1252 text field of a window with its limit in stored characters (a line break
/// counts two, CR LF): a multi-line FieldEdit or a one-line QLineEdit. It reads the field in
/// stored form and fits whatever the window puts in into the limit.
class TextField final {
public:
    TextField() = default;
    /// The limit is the box's own.
    explicit TextField(FieldEdit* edit);
    TextField(QLineEdit* line, std::size_t limit);

    QWidget* widget() const;
    bool multiLine() const { return edit_ != nullptr; }
    std::size_t limit() const { return limit_; }

    /// The text as the field shows it.
    QString text() const;
    void setText(const QString& text);
    /// The field's text as stored.
    std::string stored() const;
    /// The selected text, line breaks as '\n'.
    QString selected() const;
    /// What of `incoming` fits in place of the selection: characters Windows-1252 lacks
    /// become "?", line ends are the field's own, and the limit is kept.
    QString fit(const QString& incoming) const;
    /// Puts `text`, fitted, in place of the selection.
    void insert(const QString& text);
    /// Whether `adding` more stored characters in place of the selection stay within the limit.
    bool hasRoomFor(std::size_t adding) const;

private:
    FieldEdit* edit_ = nullptr;
    QLineEdit* line_ = nullptr;
    std::size_t limit_ = 0;
};

} // namespace tb
