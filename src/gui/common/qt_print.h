#pragma once

#include "core/export/print_layout.h"

#include <string>

class QPagedPaintDevice;
class QPageSize;
class QWidget;

namespace tb {

/// Prints a test with Qt: the print preview and the system's print dialog, or a PDF.
class QtDocumentPrinter final : public DocumentPrinter {
public:
    explicit QtDocumentPrinter(QWidget* parent);
    bool print(const PrintDocument& document) override;
    std::string pdf(const PrintDocument& document) override;

private:
    QWidget* parent_;
};

/// A4 or Letter: the default printer's paper, or else the one the system's locale uses.
QPageSize defaultPageSize();

/// Draws the document on a paged device whose painter has not begun: the pages with their
/// running head at the head and their number ("Page n of m") at the foot. Returns the number of pages.
/// Throws std::runtime_error when the device cannot be painted on.
int renderDocument(const PrintDocument& document, QPagedPaintDevice& device);

/// The document as the bytes of a PDF file on paper of `pageSize`.
std::string renderPdf(const PrintDocument& document, const QPageSize& pageSize);

} // namespace tb
