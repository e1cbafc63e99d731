#include "crash/handling/lifetime/restart_handover.h"

namespace ostrel {

namespace {

template <class T>
void Put(std::uint8_t*& at, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) *at++ = static_cast<std::uint8_t>(value >> (8 * i));
}

template <class T>
T Take(const std::uint8_t*& at) {
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(*at++) << (8 * i);
  return value;
}

}  // namespace

bool WriteRestartHandover(const RestartHandover& handover, std::span<std::uint8_t> out) {
  if (out.size() < kRestartHandoverSize) return false;
  std::uint8_t* at = out.data();
  Put(at, handover.processId);
  Put(at, handover.handle);
  for (std::uint64_t t : handover.history) Put(at, t);
  return true;
}

std::optional<RestartHandover> ReadRestartHandover(std::span<const std::uint8_t> in) {
  if (in.size() < kRestartHandoverSize) return std::nullopt;
  const std::uint8_t* at = in.data();
  RestartHandover handover;
  handover.processId = Take<std::uint32_t>(at);
  handover.handle = Take<std::uint32_t>(at);
  for (std::uint64_t& t : handover.history) t = Take<std::uint64_t>(at);
  return handover;
}

}  // namespace ostrel
