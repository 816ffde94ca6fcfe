#pragma once
// The facility audit window (Form11, "TAMSO 参考レベル監査"): over every record file of the working
// folder, for a chosen period, per body part the number of exposures and of infants, the median,
// 75th percentile, minimum and maximum entrance surface dose, the diagnostic reference level and
// median/level (ICRP 135: the median is the facility's typical value), a box plot per body part
// with its level drawn, and everything that could not be used listed. Exports the table as CSV and
// prints it (to a printer or a PDF file).

#include "records/doseaudit.h"
#include "textio/expected.h"

#include <QDate>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QBarCategoryAxis;
class QChart;
class QChartView;
class QCheckBox;
class QDateEdit;
class QLabel;
class QListWidget;
class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class QTableWidget;
class QValueAxis;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class SiteData;

class DoseAuditWindow : public QWidget {
    Q_OBJECT
public:
    // The median effective doses are computed with the reference data of the state and the site's
    // organ-dose data; the hospital name heads the printout. Both must outlive the window.
    explicit DoseAuditWindow(const engine::CalculationState& state, SiteData& site,
                             QWidget* parent = nullptr);
    ~DoseAuditWindow() override;

    // The start screen's "参考レベル監査": audits the folder for the period shown and shows the
    // window.
    void open();

    // Command1 "集計": audits the working folder for the period of the controls (all dates while
    // Check1 "全期間" is checked). Returns false, after a warning, when the folder cannot be listed
    // or the period ends before it starts.
    bool runAudit();
    // The period of the controls.
    records::AuditPeriod period() const;
    // Chooses a period (Check1 "全期間" unchecked) or every date.
    void setPeriod(const QDate& from, const QDate& to);
    void setAllDates();

    // The audit shown last.
    const std::optional<records::DoseAudit>& audit() const { return audit_; }

    // Writes the table as CSV (UTF-8 with byte-order mark) / the printout as a PDF file; a warning
    // says why when it cannot be written. Return whether the file was written.
    bool exportCsv(const QString& path);
    bool exportPdf(const QString& path);
    // The printout: A4 landscape; heading, the table with the verdict in words (it prints in black
    // and white), the box plot, the summary and the notes, on as many pages as they need.
    Status print(QPrinter& printer);

    // Test seams: the file name asked for by the CSV and PDF commands (empty: cancelled), and the
    // printer of the print command (null: cancelled). Unset, the usual dialogs ask.
    using FileNameProvider = std::function<QString(QWidget* parent, const QString& suggested)>;
    static void setFileNameProvider(FileNameProvider provider);
    using PrinterProvider = std::function<std::unique_ptr<QPrinter>(QWidget* parent)>;
    static void setPrinterProvider(PrinterProvider provider);

    // The chart with the box plot (for tests).
    QChart* chart() const;

    // The audit's words as the window and its printout show them, in the interface's language (in
    // Japanese the same as records::auditPeriodText, auditSummaryLines and auditNoteText).
    static QString periodText(const records::AuditPeriod& period);
    static QStringList summaryLines(const records::DoseAudit& audit);
    static QString noteText(const records::AuditNote& note);

private:
    void buildPeriodRow();
    void buildTable();
    void buildChart();
    void buildNotesAndCommands();
    Status draw(QPagedPaintDevice& device);
    void showAudit();
    void fillChart();
    void csvRequested();
    void pdfRequested();
    void printRequested();
    void updateDatesEnabled();

    const engine::CalculationState& state_;
    SiteData& site_;
    QCheckBox* check1_ = nullptr;
    QDateEdit* dateEdit1_ = nullptr;
    QDateEdit* dateEdit2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QTableWidget* grid1_ = nullptr;
    QChartView* chart1_ = nullptr;
    QBarCategoryAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    QLabel* label5_ = nullptr; // summary
    QLabel* label6_ = nullptr; // the level file
    QListWidget* list1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;

    std::optional<records::DoseAudit> audit_;
    records::AuditPeriod auditPeriod_;
    std::optional<std::string> levelWarning_;
    bool levelFilePresent_ = false;
};

} // namespace tamso::ui
