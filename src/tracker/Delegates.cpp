#include <pelto/tracker/Delegates.hpp>

namespace pelto {

GazeTrackerDelegate::~GazeTrackerDelegate() = default;

void UserStatusDelegate::onAttension(std::int64_t /*timestampBegin*/, std::int64_t /*timestampEnd*/,
                                     double /*score*/) {}

void UserStatusDelegate::onBlink(std::int64_t /*timestamp*/, bool /*isBlinkLeft*/,
                                 bool /*isBlinkRight*/, bool /*isBlink*/, double /*eyeOpenness*/) {}

void UserStatusDelegate::onDrowsiness(std::int64_t /*timestamp*/, bool /*isDrowsiness*/) {}

} // namespace pelto
