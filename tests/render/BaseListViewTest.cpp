// The list view: column clicks and sorting, and the report it draws with the canvas in its own
// window, read back as pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/Singleton.h"
#include "engine/Engine.h"
#include "render/BaseListView.h"
#include "render/StyleManager.h"
#include "support/GLEngineBed.h"
#include "support/GLGraphicsBed.h"
#include "support/InputEvents.h"
#include "support/OffscreenDevice.h"
#include "support/WindowPixels.h"

namespace GAME::test {
namespace {

// Rows of a name and a number, sorted by either column.
class NameList : public BaseListView {
public:
    using Row = std::pair<std::string, std::string>;

    explicit NameList(std::vector<Row> rows) : BaseListView(2), rows_(std::move(rows)) {}

    void Sort(int column, bool ascending) override {
        sorts.emplace_back(column, ascending);
        std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
            const std::string& left = column == 0 ? a.first : a.second;
            const std::string& right = column == 0 ? b.first : b.second;
            return ascending ? left < right : right < left;
        });
    }
    Column GetColumn(int index) const override {
        Column column;
        column.title = index == 0 ? "Name" : "Size";
        column.width = index == 0 ? 60 : 40;
        column.format = index == 0 ? Left : Right;
        return column;
    }
    void GetItemText(int subItem, int item, char* text, size_t size) const override {
        const Row& row = rows_[static_cast<size_t>(item)];
        std::snprintf(text, size, "%s", (subItem == 0 ? row.first : row.second).c_str());
    }

    std::vector<std::pair<int, bool>> sorts;

private:
    std::vector<Row> rows_;
};

// The report's colours as read back.
uint32_t Packed(const Color& color) {
    const auto channel = [](float value) { return uint32_t(value * 255.0f + 0.5f); };
    return Rgba(channel(color.r), channel(color.g), channel(color.b));
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) return false;
    return true;
}

TEST(BaseListViewTest, ColumnClicksToggleTheSortFlagAndSort) {
    EWindow parent;
    ASSERT_TRUE(parent.Initialize("inspector", 120, 80, nullptr, EWindow::Windowed));
    NameList list({{"b", "2"}, {"a", "1"}});
    ASSERT_TRUE(list.Create(parent.GetSystemWindow()));
    EXPECT_EQ(list.GetWindow().GetClientWidth(), 120);  // over the parent's client area
    EXPECT_EQ(list.GetColumnRecord(1).title, "Size");
    EXPECT_EQ(list.GetColumnRecord(1).index, 1);
    EXPECT_FALSE(list.GetColumnRecord(1).sorted);

    list.ClickColumn(1);
    list.ClickColumn(1);
    list.ClickColumn(2);  // no such column
    list.ClickColumn(-1);
    list.ClickColumn(0);
    list.Resort();
    const std::vector<std::pair<int, bool>> expected = {{1, true}, {1, false}, {0, true}, {0, true}};
    EXPECT_EQ(list.sorts, expected);
    EXPECT_EQ(list.GetSortColumn(), 0);

    list.SetItemCount(2);
    list.SetSelection(1);
    EXPECT_EQ(list.GetSelection(), 1);
    list.SetItemCount(1);
    EXPECT_EQ(list.GetSelection(), -1);
    list.SetSelection(5);
    EXPECT_EQ(list.GetSelection(), -1);
}

TEST(BaseListViewTest, TheReportIsDrawnInItsWindow) {
    const GLEngineBed bed;  // text in solid blocks
    ASSERT_TRUE(bed.IsReady());
    EWindow parent;
    ASSERT_TRUE(parent.Initialize("inspector", 160, 80, nullptr, EWindow::Windowed));
    NameList list({{"alpha", "12"}, {"", ""}, {"b", "7"}});
    ASSERT_TRUE(list.Create(parent.GetSystemWindow()));
    list.SetItemCount(3);
    list.SetSelection(2);
    ASSERT_TRUE(list.Draw());

    int width = 0, height = 0;
    std::vector<uint32_t> pixels = ReadWindowPixels(list.GetWindow().GetSystemWindow(), width, height);
    ASSERT_EQ(width, 160);
    ASSERT_EQ(height, 80);
    const FontStyle& style = *Singleton<StyleManager>::Get()->GetStyle(Engine::kUtilityFontStyle);
    const int row = BaseListView::GetRowHeight(style);
    EXPECT_EQ(row, 16);                  // the font of 96 at 768 lines is 8 at 64, a margin of 4 above and below
    EXPECT_EQ(style.shadowDistance, 1);  // its shadow scaled alike, up to a whole pixel
    const auto at = [&](int x, int y) { return pixels[size_t(y * width + x)]; };
    // Pixels of the colour in the rectangle.
    const auto count = [&](int left, int top, int right, int bottom, const Color& color) {
        int found = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) found += Near(at(x, y), Packed(color));
        return found;
    };

    EXPECT_TRUE(Near(at(150, 2), Packed(BaseListView::kHeader)));
    EXPECT_GT(count(0, 0, 60, row - 1, BaseListView::kText), 0);                   // "Name"
    EXPECT_TRUE(Near(at(59, row + 5), Packed(BaseListView::kGrid)));               // between the columns
    EXPECT_TRUE(Near(at(30, 2 * row - 1), Packed(BaseListView::kGrid)));           // under the first row
    const int glyph = BlockFont::kGlyphWidth * BlockFont::kGlyphHeight;
    EXPECT_EQ(count(0, row, 59, 2 * row - 1, BaseListView::kText), 5 * glyph);     // "alpha"
    EXPECT_EQ(count(80, row, 99, 2 * row - 1, BaseListView::kText), 2 * glyph);    // "12", at the right
    EXPECT_EQ(count(60, row, 75, 2 * row - 1, BaseListView::kText), 0);
    EXPECT_EQ(count(0, 2 * row, 59, 3 * row - 1, BaseListView::kBackground), 59 * (row - 1));  // empty row
    EXPECT_TRUE(Near(at(150, 3 * row + 5), Packed(BaseListView::kSelection)));     // selected across
    EXPECT_EQ(count(0, 3 * row, 59, 4 * row - 1, BaseListView::kSelectedText), glyph);  // "b"

    // Sorted by name (a click on its title), the empty row comes first; a click on it selects it.
    void* const window = list.GetWindow().GetSystemWindow();
    PushMotion(window, 30, 5);
    PushButton(window, 1, true, 30, 5);
    PushButton(window, 1, false, 30, 5);
    list.Update();
    PushMotion(window, 140, row + 3);
    PushButton(window, 1, true, 140, row + 3);
    list.Update();
    EXPECT_EQ(list.sorts, (std::vector<std::pair<int, bool>>{{0, true}}));
    EXPECT_EQ(list.GetSelection(), 0);
    pixels = ReadWindowPixels(list.GetWindow().GetSystemWindow(), width, height);
    EXPECT_TRUE(Near(at(30, row + 5), Packed(BaseListView::kSelection)));
    EXPECT_EQ(count(0, 2 * row, 59, 3 * row - 1, BaseListView::kText), 5 * glyph);
}

}  // namespace
}  // namespace GAME::test
