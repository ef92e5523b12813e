#include "render/BaseListView.h"

#include <algorithm>
#include <cstdio>

#include "core/Log.h"
#include "core/Rect.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "render/FontStyle.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/Image.h"
#include "render/StyleManager.h"
#include "render/Viewport.h"

namespace GAME {

namespace {

// Mouse events the list's input device keeps between updates.
constexpr unsigned kClicksPerUpdate = 16;

XAlignment AlignmentOf(int32_t format) {
    switch (format) {
        case BaseListView::Right: return XAlignment::Right;
        case BaseListView::Center: return XAlignment::Center;
        default: return XAlignment::Left;
    }
}

}  // namespace

BaseListView::BaseListView(int numColumns) : numColumns_(std::clamp(numColumns, 0, kMaxColumns)) {}

bool BaseListView::Create(void* parent) {
    if (!window_.Initialize("BaseListView", 0, 0, nullptr, EWindow::Child, parent)) return false;
    input_ = InputDevice::Create();
    if (!input_->Initialize(window_.GetSystemWindow(), kClicksPerUpdate, kClicksPerUpdate)) input_.reset();
    InsertColumns();
    return true;
}

void BaseListView::Update() {
    if (!input_) return;
    input_->Update();
    for (unsigned i = 0; i < input_->GetNumMouseEvents(); ++i) {
        const InputDevice::MouseEvent event = input_->GetMouseEvent(i);
        if (event.type == InputDevice::MouseEvent::LeftDown) HandleClick(event.x, event.y);
    }
}

void BaseListView::HandleClick(float x, float y) {
    if (gEngine == nullptr) return;
    const float rowHeight = static_cast<float>(GetRowHeight(GetStyle()));
    if (y >= rowHeight) {
        SetSelection(static_cast<int>(y / rowHeight) - 1);
        Draw();
        return;
    }
    float right = 0.0f;
    for (int i = 0; i < numColumns_; ++i) {
        right += static_cast<float>(columns_[static_cast<size_t>(i)].width);
        if (x < right) {
            ClickColumn(i);
            return;
        }
    }
}

const FontStyle& BaseListView::GetStyle() const {
    return *Singleton<StyleManager>::Get()->GetStyle(gEngine->GetUtilityFontStyle());
}

void BaseListView::InsertColumns() {
    for (int i = 0; i < numColumns_; ++i) {
        Column& column = columns_[static_cast<size_t>(i)];
        column = GetColumn(i);
        column.index = i;
    }
}

void BaseListView::SetItemCount(int count) {
    itemCount_ = std::max(count, 0);
    if (selection_ >= itemCount_) selection_ = -1;
}

void BaseListView::SetRedraw(bool redraw) {
    redraw_ = redraw;
    if (redraw) Draw();
}

void BaseListView::SetSelection(int item) { selection_ = item >= 0 && item < itemCount_ ? item : -1; }

void BaseListView::Resort() { Sort(sortColumn_, columns_[static_cast<size_t>(sortColumn_)].sorted); }

void BaseListView::ClickColumn(int column) {
    if (column < 0 || column >= numColumns_) return;
    Column& record = columns_[static_cast<size_t>(column)];
    record.sorted = !record.sorted;
    sortColumn_ = column;
    Sort(column, record.sorted);
    Draw();
}

int BaseListView::GetRowHeight(const FontStyle& style) { return style.size + 2 * kCellMargin; }

bool BaseListView::Draw() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!redraw_ || window_.GetSystemWindow() == nullptr || graphics == nullptr) return false;
    const int width = window_.GetClientWidth();
    const int height = window_.GetClientHeight();
    GraphicsCanvas& canvas = *graphics->GetCanvas();
    RenderSurface* surface = canvas.CreateTextureSurface(width, height, RenderTextureFormat::RGBA,
                                                         RenderTextureFormat::None);
    if (surface == nullptr) {
        Log(LogPriority::Error, "List view: no surface of %d x %d to draw on", width, height);
        return false;
    }
    RenderSurface* const target = canvas.GetTargetSurface();
    const Viewport viewport = canvas.GetViewport();
    canvas.ClearRenderSurface(surface, kBackground, RenderDevice::kClearColor);
    canvas.SetViewport(Viewport(0, 0, width, height));
    DrawReport(canvas, GetStyle(), width, height);
    canvas.ClearClippingRect();
    canvas.SetTargetSurface(target);
    canvas.SetViewport(viewport);

    Image picture;
    const bool shown = graphics->ReadRenderSurface(surface, picture) &&
                       window_.ShowPixels(reinterpret_cast<const uint32_t*>(picture.GetBuffer()), width, height);
    canvas.DestroySurface(surface);
    return shown;
}

void BaseListView::DrawReport(GraphicsCanvas& canvas, const FontStyle& style, int width, int height) const {
    const float rowHeight = static_cast<float>(GetRowHeight(style));
    const float right = static_cast<float>(width);
    // The canvas's own limit is the back buffer, which the list's surface may outgrow.
    const Rect whole(0.0f, 0.0f, right, static_cast<float>(height));
    canvas.SetClippingRect(whole, false);
    canvas.RenderRect(Rect(0.0f, 0.0f, right, rowHeight), kHeader);

    char text[kMaxItemText];
    const int rows = std::min(itemCount_, static_cast<int>(static_cast<float>(height) / rowHeight));
    for (int row = -1; row < rows; ++row) {  // -1: the header
        const float top = rowHeight * static_cast<float>(row + 1);
        const bool selected = row >= 0 && row == selection_;
        if (selected) canvas.RenderRect(Rect(0.0f, top, right, rowHeight), kSelection);
        float left = 0.0f;
        for (int i = 0; i < numColumns_; ++i) {
            const Column& column = columns_[static_cast<size_t>(i)];
            const Rect cell(left, top, static_cast<float>(column.width), rowHeight);
            left += static_cast<float>(column.width);
            if (row < 0) {
                std::snprintf(text, sizeof(text), "%s", column.title.c_str());
            } else {
                text[0] = '\0';
                GetItemText(i, row, text, sizeof(text));
                text[sizeof(text) - 1] = '\0';
            }
            const float margin = static_cast<float>(kCellMargin);
            canvas.SetClippingRect(cell, false);
            canvas.RenderText(Rect(cell.x + margin, cell.y, cell.width - 2 * margin, cell.height),
                              selected ? kSelectedText : kText, text, style.font, style.size,
                              AlignmentOf(column.format), YAlignment::Center, false, 0, style.attributes,
                              style.filter);
            canvas.SetClippingRect(whole, false);
            canvas.RenderRect(Rect(left - 1.0f, top, 1.0f, rowHeight), kGrid);
        }
        canvas.RenderRect(Rect(0.0f, top + rowHeight - 1.0f, right, 1.0f), kGrid);
    }
}

}  // namespace GAME
