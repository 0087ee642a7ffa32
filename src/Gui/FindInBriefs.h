#pragma once
#include "Search/SearchIndex.h"

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace gathra {

class TBrief;

// "Find in Briefs...": searches the stored pages of the current brief (or of every open brief)
// as the user types, lists the hits (title, entry, run date, snippet) best first, and opens a
// hit's stored page in the browser on Enter or a double click.
class TFindInBriefs : public QDialog {
    Q_OBJECT

public:
    struct Ports {
        // The briefs to search: the current one, or every open one.
        std::function<std::vector<const TBrief*>(bool allOpen)> Briefs;
        // Shows a hit's stored page (the main window's View Brief opening) of the open brief
        // whose file is `briefFile` (which may have been closed meanwhile).
        std::function<void(const std::string& briefFile, const SearchHit& hit)> Open;
    };
    explicit TFindInBriefs(Ports ports, QWidget* parent = nullptr);

    // The pause after a key before the search runs (0: at once).
    void SetTypingPause(int ms);
    // Runs the search for the field's text now.
    void SearchNow();
    // Opens the selected hit (or the first, when none is selected).
    void OpenSelected();
    // Builds the index of every brief in scope anew.
    void RebuildIndexes();

    QLineEdit* QueryField() const { return query_; }
    QComboBox* Scope() const { return scope_; }
    QTreeWidget* Results() const { return results_; }
    QLabel* StatusLine() const { return status_; }

private:
    struct Row {
        std::string BriefFile;
        SearchHit Hit;
    };
    void OpenRow(QTreeWidgetItem* item);

    Ports ports_;
    QLineEdit* query_;
    QComboBox* scope_;
    QTreeWidget* results_;
    QLabel* status_;
    QPushButton* rebuild_;
    QTimer* typing_;
    std::vector<Row> rows_;
};

// The run's date and time as the archive list shows them: "Dec-07-98 9:05:03 PM".
std::string RunShownAs(const std::string& stamp);

} // namespace gathra
