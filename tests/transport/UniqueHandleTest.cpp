// The handle owner closes each handle exactly once, on whichever path lets go of it.
#include "UniqueHandle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace vandreth {
namespace {

std::vector<int*> closed;

void closeFake(int* handle)
{
    closed.push_back(handle);
}

using FakeHandle = UniqueHandle<int*, &closeFake>;

class UniqueHandleTest : public testing::Test {
protected:
    void SetUp() override { closed.clear(); }

    int first = 1;
    int second = 2;
};

TEST_F(UniqueHandleTest, ClosesWhatItHoldsOnceWhenDestroyed)
{
    {
        const FakeHandle handle(&first);
        EXPECT_TRUE(handle);
        EXPECT_EQ(handle.get(), &first);
    }
    EXPECT_EQ(closed, std::vector<int*>{&first});
}

TEST_F(UniqueHandleTest, HoldsNothingAndClosesNothingWhenEmpty)
{
    {
        const FakeHandle none;
        const FakeHandle null(nullptr);
        EXPECT_FALSE(none);
        EXPECT_FALSE(null);
    }
    EXPECT_TRUE(closed.empty());
}

TEST_F(UniqueHandleTest, MovingHandsTheHandleOverWithoutClosingIt)
{
    {
        FakeHandle from(&first);
        FakeHandle to(std::move(from));
        EXPECT_FALSE(from);
        EXPECT_EQ(to.get(), &first);
        EXPECT_TRUE(closed.empty());

        FakeHandle assigned(&second);
        assigned = std::move(to);
        EXPECT_EQ(closed, std::vector<int*>{&second});
        EXPECT_EQ(assigned.get(), &first);
    }
    EXPECT_EQ(closed, (std::vector<int*>{&second, &first}));
}

TEST_F(UniqueHandleTest, ResetClosesTheOldHandleAndReleaseClosesNothing)
{
    FakeHandle handle(&first);
    handle.reset(&second);
    EXPECT_EQ(closed, std::vector<int*>{&first});
    EXPECT_EQ(handle.release(), &second);
    EXPECT_FALSE(handle);
    handle.reset();
    EXPECT_EQ(closed, std::vector<int*>{&first});
}

}  // namespace
}  // namespace vandreth
