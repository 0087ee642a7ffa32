#pragma once
#include <QListWidget>
#include <string>
#include <vector>

class QHeaderView;

namespace gathra {

// The archive list of "Brief Organizer Setup": owner-drawn rows, each run's title cut into date
// and time columns at fixed x positions, white with black text or navy with white text when
// selected. Row i holds the title it was given at i. Rows and columns were laid out for a small
// font (rows 13 pixels high, digits 6 wide); a larger font makes them taller and wider with it.
class TArchiveList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int RowHeight = 13; // the least

    explicit TArchiveList(QWidget* parent = nullptr);
    void SetTitles(const std::vector<std::string>& titles);
    // The stored title of a row.
    std::string TitleOf(int row) const;
    // The height of a row in this list's font.
    int RowHeightInFont() const;
};

// How much wider than the layout's own font `font` sets digits (1 at the least).
double ArchiveColumnScale(const QFont& font);

// The "Date" and "Time" header above the list: "Date" over the date's columns (121 pixels at
// the layout's font), "Time" over the rest.
QHeaderView* MakeArchiveHeader(QWidget* parent);

} // namespace gathra
