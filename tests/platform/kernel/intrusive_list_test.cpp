// The one linked list the kernel and the devices keep their records in.
#include <gtest/gtest.h>

#include <vector>

#include "platform/kernel/intrusive_list.h"

namespace {

struct Item : kernel::ListNode<Item> {
    int value;
    explicit Item(int v) : value(v) {}
};

std::vector<int> Values(const kernel::IntrusiveList<Item>& list) {
    std::vector<int> values;
    list.ForEach([&](const Item* item) { values.push_back(item->value); });
    return values;
}

TEST(IntrusiveList, KeepsOrderAndTakesRecordsOutFromAnywhere) {
    Item a(1), b(2), c(3), d(4);
    kernel::IntrusiveList<Item> list;
    EXPECT_TRUE(list.Empty());
    list.PushBack(b);
    list.PushBack(c);
    list.PushFront(a);
    list.PushBack(d);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4}));

    list.Remove(c);  // middle
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 4}));
    list.Remove(d);  // last: the next push goes behind the new last
    list.PushBack(c);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3}));
    list.Remove(a);  // first
    list.PushFront(d);
    EXPECT_EQ(Values(list), (std::vector<int>{4, 2, 3}));

    EXPECT_EQ(list.PopFront(), &d);
    EXPECT_EQ(list.PopFront(), &b);
    EXPECT_EQ(list.Front(), &c);
    list.Remove(c);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.PopFront(), nullptr);
    list.PushBack(a);  // an emptied list is whole again
    EXPECT_EQ(Values(list), (std::vector<int>{1}));
}

}  // namespace
