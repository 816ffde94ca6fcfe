#pragma once
// The dose history window of an infant: every stored exposure with its doses, the number of
// exposures, the cumulative entrance surface dose and a chart, shown as the pages it prints
// (DoseHistoryPages paints the screen and the paper alike). Hovering a bar of the chart names its
// record. "印刷" prints the pages, "PDF保存" saves them as a PDF file.

#include "textio/expected.h"

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

class QLabel;
class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class QScrollArea;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class DoseHistoryModel;
class SiteData;
class DoseHistoryPages;
class DoseHistoryPageView;

class DoseHistoryWindow : public QWidget {
    Q_OBJECT
public:
    // The effective doses are computed with the reference data of the state and the site's
    // organ-dose data; the hospital name heads the pages. Both must outlive the window.
    explicit DoseHistoryWindow(const engine::CalculationState& state, SiteData& site,
                               QWidget* parent = nullptr);
    ~DoseHistoryWindow() override;

    // Reads every record file of the ID in the folder and shows its history. Fails, leaving the
    // window as it was, when the files cannot be read or the ID has no record.
    Status showHistory(const std::filesystem::path& folder, const QString& patientId);

    DoseHistoryModel* model() const { return model_.get(); }
    DoseHistoryPages* pages() const { return pages_.get(); }
    DoseHistoryPageView* pageView() const { return view_; }
    // What the last hover over the chart or a withdrawn record's row named (empty over anything else).
    QString hoveredText() const;

    // Paints the pages onto a paged device (a printer or a PDF writer): A4 landscape, one history
    // page per sheet. Fails when the device cannot be painted on.
    Status printTo(QPagedPaintDevice& device) const;
    // Writes the pages as a PDF file, replacing it atomically.
    Status savePdf(const QString& fileName) const;

    // Test seams: the printer of the print command (default: the system print dialog; nullptr when
    // cancelled) and the file name of the PDF command (default: a save dialog; empty when cancelled).
    using PrinterProvider = std::function<std::unique_ptr<QPrinter>(QWidget* parent)>;
    static void setPrinterProvider(PrinterProvider provider);
    using PdfNameProvider = std::function<QString(QWidget* parent, const QString& suggested)>;
    static void setPdfNameProvider(PdfNameProvider provider);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void printRequested();
    void pdfRequested();

    const engine::CalculationState& state_;
    SiteData& site_;
    std::unique_ptr<DoseHistoryModel> model_;
    std::unique_ptr<DoseHistoryPages> pages_;
    QLabel* summary_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* pdf_ = nullptr;
    QPushButton* close_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    DoseHistoryPageView* view_ = nullptr;
    std::filesystem::path folder_;
};

// The pages of the history stacked one under the other at the width of the window, painted by
// DoseHistoryPages; a hover over a bar of the chart shows its record as a tool tip.
class DoseHistoryPageView : public QWidget {
    Q_OBJECT
public:
    explicit DoseHistoryPageView(QWidget* parent = nullptr);
    void setPages(const DoseHistoryPages* pages);
    // Takes this width and the height the pages need at it.
    void fitToWidth(int width);
    // Layout units of the page per widget pixel, and where page `page` starts in the widget.
    double scale() const;
    QPointF pageOrigin(int page) const;
    // The chart index of the bar under a widget position, or -1.
    int barAt(const QPoint& position) const;
    QString hoveredText() const { return hovered_; }
    // The withdrawal of the withdrawn record whose table row is under a widget position, or empty.
    QString withdrawalAt(const QPoint& position) const;

signals:
    void barHovered(int chartIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const DoseHistoryPages* pages_ = nullptr;
    QString hovered_;
};

} // namespace tamso::ui
