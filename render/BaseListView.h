#pragma once
// BaseListView: a report list for the engine's inspector windows, with the rows owned by the
// subclass: it names the columns, gives each cell's text when the list draws it, and sorts its
// rows when a column is clicked. The list keeps the columns, the row count, the sort column and
// one selected row.
//
// There is no native list control: the list draws itself with the graphics engine's canvas in the
// engine's utility font style, into a window of its own (EWindow, Child style) over the parent
// window's client area. Draw renders the report offscreen and shows its pixels in that window:
// a header row of the column titles, then the rows from the first, one line each, cells cut to
// their columns, grid lines between them and the selected row highlighted across.
//
// The list reads its window's mouse through an input device of its own (Update): a left click on
// a column's title is a column click, one on a row selects it, and both draw the list again.
//
// Main thread only, while gEngine's graphics engine runs.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Color.h"
#include "render/EWindow.h"
#include "render/InputDevice.h"

namespace GAME {

class GraphicsCanvas;
struct FontStyle;

class BaseListView {
public:
    static constexpr int kMaxColumns = 16;
    // Room for a cell's text, terminator included.
    static constexpr size_t kMaxItemText = 260;

    // Horizontal placement of a column's title and cells.
    enum Format : int32_t { Left = 0, Right = 1, Center = 2 };

    struct Column {
        std::string title;
        int32_t width = 0;      // pixels
        int32_t format = Left;
        int32_t index = -1;     // the column's place in the report once inserted
        bool sorted = false;    // the sort flag a click toggles; false at first
    };

    // The report's colours.
    static constexpr Color kBackground{1.0f, 1.0f, 1.0f, 1.0f};
    static constexpr Color kHeader{0.83f, 0.83f, 0.83f, 1.0f};
    static constexpr Color kGrid{0.62f, 0.62f, 0.62f, 1.0f};
    static constexpr Color kText{0.0f, 0.0f, 0.0f, 1.0f};
    static constexpr Color kSelection{0.0f, 0.33f, 0.8f, 1.0f};
    static constexpr Color kSelectedText{1.0f, 1.0f, 1.0f, 1.0f};
    // Pixels between a cell's edge and its text.
    static constexpr int kCellMargin = 4;

    // A list of numColumns columns (at most kMaxColumns), sorted by column 0.
    explicit BaseListView(int numColumns);
    virtual ~BaseListView() = default;
    BaseListView(const BaseListView&) = delete;
    BaseListView& operator=(const BaseListView&) = delete;

    // Sorts the subclass's rows by the column, ascending when the flag is true.
    virtual void Sort(int column, bool ascending) = 0;
    // The column's title, width and format.
    virtual Column GetColumn(int index) const = 0;
    // Writes the text of a cell (subItem is the column) into text, of room size, terminated.
    virtual void GetItemText(int subItem, int item, char* text, size_t size) const = 0;

    // Opens the list's window over the parent's (an SDL_Window*) client area, starts reading its
    // mouse and inserts the columns. False, with an error, when the window cannot be made.
    bool Create(void* parent);
    // Handles the clicks in the window since the last call.
    void Update();
    // Rows to show; a selection past the end is dropped. Nothing is redrawn.
    void SetItemCount(int count);
    int GetItemCount() const { return itemCount_; }
    // While off, Draw draws nothing; turning it on draws the list.
    void SetRedraw(bool redraw);
    // The selected row, -1 for none; out of range is none.
    void SetSelection(int item);
    int GetSelection() const { return selection_; }
    void Show(bool show) { window_.Show(show); }
    EWindow& GetWindow() { return window_; }
    // Sorts again by the current sort column and its flag.
    void Resort();
    // A click on a column's title: toggles its sort flag, makes it the sort column, sorts and
    // draws. An invalid column changes nothing.
    void ClickColumn(int column);
    int GetSortColumn() const { return sortColumn_; }
    const Column& GetColumnRecord(int column) const { return columns_[static_cast<size_t>(column)]; }
    int GetNumColumns() const { return numColumns_; }
    // Draws the report and shows it in the window; false when it cannot (not created, redraw
    // off, no graphics engine, or the picture could not be made or shown).
    bool Draw();
    // Pixels of a row (and of the header) for the style the list draws in.
    static int GetRowHeight(const FontStyle& style);

private:
    void InsertColumns();
    void HandleClick(float x, float y);
    const FontStyle& GetStyle() const;
    void DrawReport(GraphicsCanvas& canvas, const FontStyle& style, int width, int height) const;

    int numColumns_;
    EWindow window_;
    std::unique_ptr<InputDevice> input_;
    int sortColumn_ = 0;
    Column columns_[kMaxColumns];
    int itemCount_ = 0;
    int selection_ = -1;
    bool redraw_ = true;
};

}  // namespace GAME
