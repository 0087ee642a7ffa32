#pragma once
#include <QListWidget>
#include <string>
#include <vector>

class QHeaderView;

namespace gathra {

// The archive list of "Brief Organizer Setup": owner-drawn rows 13 pixels high, each run's title
// cut into date and time columns at fixed x positions, white with black text or navy with white
// text when selected. Row i holds the title it was given at i.
class TArchiveList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int RowHeight = 13;

    explicit TArchiveList(QWidget* parent = nullptr);
    void SetTitles(const std::vector<std::string>& titles);
    // The stored title of a row.
    std::string TitleOf(int row) const;
};

// The fixed "Date" (121 pixels) and "Time" (31 pixels) header above the list.
QHeaderView* MakeArchiveHeader(QWidget* parent);

} // namespace gathra
