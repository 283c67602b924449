// The option set, mouse and balloon vocabulary of the tray icon component.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "toolkit/component.h"

namespace zanto {

enum TTrayVisibility : unsigned {
  tvVisibleTaskBar,
  tvVisibleTaskList,
  tvAutoHide,
  tvAutoHideIcon,
  tvVisibleDesign,
  tvRestoreClick,
  tvRestoreDbClick,
  tvMinimizeClick,
  tvMinimizeDbClick,
};

// Stored as a 16-bit word, member k in bit k.
class TTrayVisibilities {
 public:
  constexpr TTrayVisibilities() = default;
  constexpr TTrayVisibilities(std::initializer_list<TTrayVisibility> members) {
    for (TTrayVisibility m : members) bits_ = static_cast<std::uint16_t>(bits_ | bit(m));
  }
  static constexpr TTrayVisibilities FromWord(std::uint16_t word) {
    TTrayVisibilities v;
    v.bits_ = word;
    return v;
  }
  constexpr std::uint16_t Word() const { return bits_; }
  constexpr bool Has(TTrayVisibility m) const { return (bits_ & bit(m)) != 0; }
  constexpr TTrayVisibilities With(TTrayVisibility m) const { return FromWord(bits_ | bit(m)); }
  constexpr TTrayVisibilities Without(TTrayVisibility m) const {
    return FromWord(bits_ & static_cast<std::uint16_t>(~bit(m)));
  }
  // The members of this set that are absent from the other.
  constexpr TTrayVisibilities Minus(TTrayVisibilities other) const {
    return FromWord(bits_ & static_cast<std::uint16_t>(~other.bits_));
  }
  constexpr bool operator==(const TTrayVisibilities&) const = default;

 private:
  static constexpr std::uint16_t bit(TTrayVisibility m) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(m));
  }
  std::uint16_t bits_ = 0;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftFlag : unsigned {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
};
using TShiftState = unsigned;

enum class TBalloonType { btNone = 0, btError = 1, btInfo = 2, btWarning = 3 };

// Images by index, for the tray icon's animation or icon choice.
class TImageList : public TComponent {
 public:
  using TComponent::TComponent;
  int Count() const { return static_cast<int>(images_.size()); }
  platform::IconId Get(int index) const { return images_[static_cast<std::size_t>(index)]; }
  void Add(platform::IconId image) { images_.push_back(image); }

 private:
  std::vector<platform::IconId> images_;
};

}  // namespace zanto
