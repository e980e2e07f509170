#include "dataengine/engine_internal.h"

#include <gtest/gtest.h>

using novaodbc::PtrArray;

TEST(PtrArray, GrowsByAnEighthClampedTo4And1024OrByItsStep) {
    PtrArray a;
    int x = 0;
    ASSERT_TRUE(a.append(&x));
    EXPECT_EQ(a.capacity(), 4u);  // count / 8 = 0, at least 4
    for (int i = 0; i < 3; ++i) a.append(&x);
    a.append(&x);
    EXPECT_EQ(a.capacity(), 8u);
    ASSERT_TRUE(a.reserve(100));
    EXPECT_EQ(a.capacity(), 100u);  // at least the requested size
    while (a.count() < 100) a.append(&x);
    a.append(&x);
    EXPECT_EQ(a.capacity(), 112u);  // 100 / 8 = 12
    EXPECT_EQ(a.at(a.capacity() - 1), nullptr);

    PtrArray big;
    ASSERT_TRUE(big.reserve(10000));
    while (big.count() < 10000) big.append(&x);
    big.append(&x);
    EXPECT_EQ(big.capacity(), 11024u);  // clamped to 1,024

    PtrArray stepped(50);
    stepped.append(&x);
    EXPECT_EQ(stepped.capacity(), 50u);
}

TEST(PtrArray, InsertShiftsUpAndRemoveShiftsDown) {
    int a = 1, b = 2, c = 3;
    PtrArray v;
    v.append(&a);
    v.append(&b);
    v.insert(0, &c);
    EXPECT_EQ(v.at(0), &c);
    EXPECT_EQ(v.at(1), &a);
    EXPECT_EQ(v.at(2), &b);
    v.remove(1);
    EXPECT_EQ(v.count(), 2u);
    EXPECT_EQ(v.at(1), &b);
    EXPECT_EQ(v.at(2), nullptr);
    EXPECT_FALSE(v.insert(5, &a));
}
