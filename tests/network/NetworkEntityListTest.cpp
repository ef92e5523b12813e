// The per-client entity sets.

#include <gtest/gtest.h>

#include "engine/Entity.h"
#include "network/NetworkEntityList.h"

namespace GAME {
namespace {

TEST(NetworkEntityListTest, EntitiesLeaveEveryClientAndEmptyClientsAreForgotten) {
    NetworkEntityList list;
    Entity shared;
    Entity single;
    list.AddEntityToClient(1, &shared);
    list.AddEntityToClient(2, &shared);
    list.AddEntityToClient(2, &shared);
    list.AddEntityToClient(2, &single);
    list.AddEntityToClient(3, nullptr);
    EXPECT_EQ(list.GetNumClients(), 2);
    EXPECT_TRUE(list.DoesEntityExistOnClient(1, &shared));
    EXPECT_FALSE(list.DoesEntityExistOnClient(1, &single));

    list.RemoveEntityFromAllClients(&shared);
    EXPECT_FALSE(list.DoesEntityExistOnAnyClient(&shared));
    EXPECT_TRUE(list.DoesEntityExistOnAnyClient(&single));
    EXPECT_EQ(list.GetNumClients(), 1);

    list.RemoveEntityFromClient(5, &single);
    list.RemoveEntityFromClient(2, &single);
    EXPECT_FALSE(list.DoesEntityExistOnAnyClient(&single));
    EXPECT_EQ(list.GetNumClients(), 0);
}

}  // namespace
}  // namespace GAME
