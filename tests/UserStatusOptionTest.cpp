#include <pelto/types/UserStatusOption.hpp>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <type_traits>

namespace pelto {
namespace {

using Flags = std::array<bool, 3>; // attention, blink, drowsiness

Flags flagsOf(const UserStatusOption& option) {
    return {option.isUseAttension(), option.isUseBlink(), option.isUseDrowsiness()};
}

// Every pair of switches, one after the other: each turns on exactly its features, and none
// turns a feature off again.
TEST(UserStatusOptionTest, SwitchesOnlyTurnTheirOwnFeaturesOn) {
    struct Switch {
        void (UserStatusOption::*call)() noexcept;
        Flags turnsOn;
    };
    constexpr std::array switches{
        Switch{&UserStatusOption::useAttention, {true, false, false}},
        Switch{&UserStatusOption::useBlink, {false, true, false}},
        Switch{&UserStatusOption::useDrowsiness, {false, false, true}},
        Switch{&UserStatusOption::useAll, {true, true, true}},
    };
    for (const Switch& first : switches) {
        for (const Switch& second : switches) {
            UserStatusOption option;
            EXPECT_EQ(flagsOf(option), (Flags{}));
            (option.*first.call)();
            EXPECT_EQ(flagsOf(option), first.turnsOn);
            (option.*second.call)();
            for (std::size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(flagsOf(option).at(i), first.turnsOn.at(i) || second.turnsOn.at(i));
            }
        }
    }
}

class BlinkAlwaysOn : public UserStatusOption {
  public:
    [[nodiscard]] bool isUseBlink() const noexcept override { return true; }
};

TEST(UserStatusOptionTest, HostsCanOverrideTheOperations) {
    const std::shared_ptr<UserStatusOption> option = std::make_shared<BlinkAlwaysOn>();
    option->useAttention();
    EXPECT_EQ(flagsOf(*option), (Flags{true, true, false}));
}

static_assert(std::has_virtual_destructor_v<UserStatusOption>);
static_assert(!std::is_copy_constructible_v<UserStatusOption>);

} // namespace
} // namespace pelto
