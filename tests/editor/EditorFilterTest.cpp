// The editor's visibility filter.

#include <gtest/gtest.h>

#include "core/Singleton.h"
#include "editor/EditorFilter.h"

namespace GAME {
namespace {

TEST(EditorFilterTest, HiddenTypesHideTheirObjectsOnly) {
    EditorFilter* filter = EditorFilter::Get();
    EXPECT_EQ(EditorFilter::Get(), filter);
    filter->AddFilterObject(10, EditorFilterType::Light);
    filter->AddFilterObject(10, EditorFilterType::Light);
    EXPECT_EQ(filter->GetNumFilterObjects(), 1);

    filter->SetTypeVisible(EditorFilterType::Light, false);
    EXPECT_FALSE(filter->IsVisible(10));
    EXPECT_TRUE(filter->IsVisible(11));  // not registered
    filter->RemoveFilterObject(10);
    filter->RemoveFilterObject(12);
    EXPECT_TRUE(filter->IsVisible(10));
    EXPECT_EQ(filter->GetNumFilterObjects(), 0);

    filter->AddFilterObject(10, EditorFilterType::Light);
    filter->SetTypeVisible(EditorFilterType::Light, true);
    EXPECT_TRUE(filter->IsVisible(10));
    Singleton<EditorFilter>::Destroy();
    EXPECT_EQ(EditorFilter::Get()->GetNumFilterObjects(), 0);
    Singleton<EditorFilter>::Destroy();
}

}  // namespace
}  // namespace GAME
