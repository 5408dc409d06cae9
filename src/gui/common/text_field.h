#pragma once

#include <QPlainTextEdit>
#include <QSize>
#include <QString>

#include <cstddef>
#include <functional>
#include <string>

class QLineEdit;
class QMimeData;

namespace tb {

/// A multi-line editing field whose pasted and dropped text passes through a filter, so that
/// every way into the field keeps Windows-1252 and the field's limit.
class FieldEdit final : public QPlainTextEdit {
public:
    using Fitter = std::function<QString(const QString&)>;

    explicit FieldEdit(QWidget* parent);
    void setFitter(Fitter fitter) { fitter_ = std::move(fitter); }
    /// The size asked for where the screen has room; the minimum size can be far smaller.
    void setPreferredSize(QSize size) { preferred_ = size; }
    QSize sizeHint() const override;
    /// The text exactly as typed: toPlainText() would turn no-break spaces into plain
    /// blanks, which would lose the no-break space bytes of generated solutions.
    QString rawText() const;

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    Fitter fitter_;
    QSize preferred_;
};

/// One Windows-1252 text field of a window with its limit in stored characters (a line break
/// counts two, CR LF): a multi-line FieldEdit or a one-line QLineEdit. It reads the field in
/// stored form and fits whatever is typed, pasted or dropped into the limit.
class TextField final {
public:
    TextField() = default;
    TextField(FieldEdit* edit, std::size_t limit);
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
