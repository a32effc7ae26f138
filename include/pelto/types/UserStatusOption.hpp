#pragma once

#include <pelto/Export.hpp>

namespace pelto {

/// The user-status features (attention, blink, drowsiness) a host asks of a tracker.
///
/// Every feature starts off; a switch only turns features on, and a feature once on stays on for
/// the life of the object (for another choice, create a new object). The object records the
/// choice and analyses nothing.
///
/// Hold it through `std::shared_ptr` (`std::make_shared<UserStatusOption>()`): it is an object
/// with identity, not a value (hence not copyable), its operations are virtual so a host may
/// override them, and `GazeTracker::initGazeTracker` takes it as a `std::shared_ptr`, where an
/// empty pointer means no options. Not synchronised: a host that shares one object between
/// threads serialises its calls.
class PELTO_EXPORT UserStatusOption {
  public:
    /// All three features off.
    UserStatusOption() noexcept = default;

    UserStatusOption(const UserStatusOption&) = delete;
    UserStatusOption& operator=(const UserStatusOption&) = delete;
    UserStatusOption(UserStatusOption&&) = delete;
    UserStatusOption& operator=(UserStatusOption&&) = delete;

    /// True once the attention feature has been switched on.
    [[nodiscard]] virtual bool isUseAttension() const noexcept;
    /// True once the blink feature has been switched on.
    [[nodiscard]] virtual bool isUseBlink() const noexcept;
    /// True once the drowsiness feature has been switched on.
    [[nodiscard]] virtual bool isUseDrowsiness() const noexcept;
    /// Switches the attention feature on; the others are left as they are.
    virtual void useAttention() noexcept;
    /// Switches the blink feature on; the others are left as they are.
    virtual void useBlink() noexcept;
    /// Switches the drowsiness feature on; the others are left as they are.
    virtual void useDrowsiness() noexcept;
    /// Switches all three features on.
    virtual void useAll() noexcept;

    virtual ~UserStatusOption();

  private:
    bool modeAttension_ = false;
    bool modeBlink_ = false;
    bool modeDrowsiness_ = false;
};

} // namespace pelto
