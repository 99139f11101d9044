#include <gtest/gtest.h>

#include "engine/core/callback.h"

namespace {

int g_calls = 0;
void count_call(int by) { g_calls += by; }
int twice(int v) { return 2 * v; }

struct Counter {
    int total = 0;
    void add(int v) { total += v; }
    int get_plus(int v) { return total + v; }
    void append(std::string& s) { s += "x"; }
};

}  // namespace

TEST(Callback, EmptyHolderIsInvalidAndDoesNothing) {
    Callback<void, int> empty;
    EXPECT_FALSE(empty.is_valid());
    g_calls = 0;
    empty(5);
    EXPECT_EQ(g_calls, 0);
    Callback<int, int> empty_result;
    EXPECT_EQ(empty_result(7), 0);
}

TEST(Callback, BindsFreeFunctionsAndMembers) {
    g_calls = 0;
    Callback<void, int> f(&count_call);
    f(3);
    EXPECT_EQ(g_calls, 3);
    Callback<int, int> r(&twice);
    EXPECT_EQ(r(21), 42);

    Counter c;
    Callback<void, int> m(&c, &Counter::add);
    m(4);
    m(5);
    EXPECT_EQ(c.total, 9);
    Callback<int, int> g(&c, &Counter::get_plus);
    EXPECT_EQ(g(1), 10);
}

TEST(Callback, NullTargetsAreInvalid) {
    Callback<void, int> null_object(static_cast<Counter*>(nullptr), &Counter::add);
    EXPECT_FALSE(null_object.is_valid());
    null_object(1);  // must not crash
    Callback<void, int> null_function(static_cast<void (*)(int)>(nullptr));
    EXPECT_FALSE(null_function.is_valid());
}

TEST(Callback, CopiesAreIndependent) {
    Counter c;
    auto* source = new Callback<void, int>(&c, &Counter::add);
    Callback<void, int> copy(*source);
    delete source;
    ASSERT_TRUE(copy.is_valid());
    copy(2);
    EXPECT_EQ(c.total, 2);

    Callback<void, int> assigned;
    assigned = copy;
    copy = Callback<void, int>();  // assigning empty frees the old target
    EXPECT_FALSE(copy.is_valid());
    EXPECT_TRUE(assigned.is_valid());
    assigned = assigned;  // self-assignment keeps the target
    assigned(1);
    EXPECT_EQ(c.total, 3);
    Callback<void, int> moved(std::move(assigned));
    EXPECT_TRUE(moved.is_valid() && !assigned.is_valid());  // a moved-from holder is empty
}

TEST(Callback, ReferencesStayReferences) {
    Counter c;
    Callback<void, std::string&> cb(&c, &Counter::append);
    std::string s = "a";
    cb(s);
    cb(s);
    EXPECT_EQ(s, "axx");
}
