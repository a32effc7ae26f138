#include <pelto/types/UserStatusOption.hpp>

namespace pelto {

bool UserStatusOption::isUseAttension() const noexcept {
    return modeAttension_;
}

bool UserStatusOption::isUseBlink() const noexcept {
    return modeBlink_;
}

bool UserStatusOption::isUseDrowsiness() const noexcept {
    return modeDrowsiness_;
}

void UserStatusOption::useAttention() noexcept {
    modeAttension_ = true;
}

void UserStatusOption::useBlink() noexcept {
    modeBlink_ = true;
}

void UserStatusOption::useDrowsiness() noexcept {
    modeDrowsiness_ = true;
}

void UserStatusOption::useAll() noexcept {
    modeAttension_ = true;
    modeBlink_ = true;
    modeDrowsiness_ = true;
}

UserStatusOption::~UserStatusOption() = default;

} // namespace pelto
