#include <pelto/types/UserStatusOption.hpp>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <type_traits>
#include <vector>

namespace pelto {
namespace {

struct Flags {
    bool attention = false;
    bool blink = false;
    bool drowsiness = false;
};

struct Switch {
    const char* name;
    void (UserStatusOption::*call)() noexcept;
    Flags turnsOn;
};

constexpr std::array switches{
    Switch{"useAttention", &UserStatusOption::useAttention, {true, false, false}},
    Switch{"useBlink", &UserStatusOption::useBlink, {false, true, false}},
    Switch{"useDrowsiness", &UserStatusOption::useDrowsiness, {false, false, true}},
    Switch{"useAll", &UserStatusOption::useAll, {true, true, true}},
};

void expectFlags(const UserStatusOption& option, const Flags& expected) {
    EXPECT_EQ(option.isUseAttension(), expected.attention);
    EXPECT_EQ(option.isUseBlink(), expected.blink);
    EXPECT_EQ(option.isUseDrowsiness(), expected.drowsiness);
}

TEST(UserStatusOptionTest, StartsWithEveryFeatureOff) {
    expectFlags(*std::make_shared<UserStatusOption>(), Flags{});
}

// Every sequence of up to three switches: each switch turns on exactly its features, and nothing
// ever turns a feature off again.
TEST(UserStatusOptionTest, SwitchesOnlyTurnTheirOwnFeaturesOn) {
    std::vector<std::vector<std::size_t>> sequences{{}};
    for (std::size_t begin = 0; sequences.back().size() < 3;) {
        const std::size_t end = sequences.size();
        for (std::size_t s = begin; s < end; ++s) {
            for (std::size_t i = 0; i < switches.size(); ++i) {
                std::vector<std::size_t> longer = sequences[s];
                longer.push_back(i);
                sequences.push_back(longer);
            }
        }
        begin = end;
    }
    for (const auto& sequence : sequences) {
        UserStatusOption option;
        Flags expected;
        for (const std::size_t i : sequence) {
            SCOPED_TRACE(switches[i].name);
            (option.*switches[i].call)();
            expected.attention = expected.attention || switches[i].turnsOn.attention;
            expected.blink = expected.blink || switches[i].turnsOn.blink;
            expected.drowsiness = expected.drowsiness || switches[i].turnsOn.drowsiness;
            expectFlags(option, expected);
        }
    }
}

class BlinkAlwaysOn : public UserStatusOption {
  public:
    [[nodiscard]] bool isUseBlink() const noexcept override { return true; }
};

TEST(UserStatusOptionTest, HostsCanOverrideTheOperations) {
    const std::shared_ptr<UserStatusOption> option = std::make_shared<BlinkAlwaysOn>();
    expectFlags(*option, Flags{false, true, false});
    option->useAttention();
    expectFlags(*option, Flags{true, true, false});
}

static_assert(std::has_virtual_destructor_v<UserStatusOption>);
static_assert(!std::is_copy_constructible_v<UserStatusOption>);

} // namespace
} // namespace pelto
