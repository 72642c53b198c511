// HotKeys: a non-visual component that polls the global key state and
// reports registered key combinations as press, repeat and release events.
//
// A combination is up to four virtual-key codes (mouse buttons count as
// keys; code 1 is the left button). It is held when all its nonzero keys are
// down at once, or have all been pressed since the previous poll, so a
// combination tapped between two polls still counts.
//
// Timing while a combination is held: HKPress at the check tick that first
// sees it; HKDown at the first repeat tick (40 ms clock) that sees it, none
// on the 2nd to 4th, then on the 5th and on every tick after it; HKUp at the
// check tick that sees it released.
//
// Where the platform tells of key moves, both timers rest while nothing is
// held, no repeat is counted and no pressed-since bit waits to be read (and
// OnlyOnFocus is off: a change of the foreground window is not told), and
// start again in step with their old ticks at the next move or change of
// the table: the events come at the same moments as with timers that never
// stop.
//
// Errors to the caller: a key code outside 0-255 throws std::overflow_error,
// a negative index std::out_of_range; in both cases nothing changes. An index
// at or above HKCount is ignored. Inside a tick nothing fails: an exception
// escaping a handler is swallowed and the tick goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/PropertyTable.h"
#include "platform/platform.h"

namespace pd::hotkeys {

struct HotKeyEntry {
  std::uint8_t Key1 = 0;  // 0 = no key; an entry with Key1 = 0 never counts as held
  std::uint8_t Key2 = 0;
  std::uint8_t Key3 = 0;
  std::uint8_t Key4 = 0;
  std::int16_t State = 0;       // combined key-state word of the latest check tick
  bool IsDown = false;          // from HKPress until HKUp
  std::int32_t RepeatTicks = 0;  // 0 to 5, counted by the repeat clock
};

// A component of the form it sits on, invisible at run time.
class HotKeys : public forms::Control {
 public:
  static constexpr int kExtentTwips = 450;
  static constexpr int kCheckIntervalMs = 1;
  static constexpr int kRepeatIntervalMs = 40;
  static constexpr std::int32_t kRepeatSteady = 5;

  // Reads its design properties from the site's store and sets its size.
  explicit HotKeys(forms::Container& parent, StringView name = u"HotKeys", int index = -1);
  ~HotKeys() override;

  void AddHotKey(std::int32_t key1, std::int32_t key2, std::int32_t key3, std::int32_t key4 = 0);
  void ChangeHotKey(std::int32_t index, std::int32_t key1, std::int32_t key2, std::int32_t key3,
                    std::int32_t key4 = 0);
  // Later entries move down one index with their held state; no HKUp is
  // raised for the removed entry.
  void RemoveHotKey(std::int32_t index);

  void StartHK();
  // Pauses polling; entries keep their state, so a combination released
  // meanwhile gets its HKUp at the first check tick after StartHK.
  void StopHK();

  std::int16_t GetKeyStatus(std::int32_t keyCode);
  // The combined key-state word: the AND of the words of the nonzero keys,
  // each queried once in order Key1 to Key4; 0 when Key1 is 0 (Key2 to Key4
  // are queried all the same) and for an index >= HKCount.
  std::int16_t GetHotKeyStatus(std::int32_t index);

  [[nodiscard]] std::int32_t HKCount() const { return static_cast<std::int32_t>(entries_.size()); }
  [[nodiscard]] const HotKeyEntry& Entry(std::int32_t index) const { return entries_.at(static_cast<std::size_t>(index)); }

  // Enabled is the control's; false stops polling as StopHK does.
  void SetEnabled(bool enabled) override;
  [[nodiscard]] bool OnlyOnFocus() const { return onlyOnFocus_; }
  void SetOnlyOnFocus(bool onlyOnFocus);

  [[nodiscard]] bool HasWindow() const override { return false; }

  // The stored properties: the defaults of a newly placed one, load, save.
  void InitProperties();
  void ReadProperties(forms::PropertyStore& store);
  void WriteProperties(forms::PropertyStore& store) const;

  Event<std::int32_t> HKPress;
  Event<std::int32_t> HKDown;
  Event<std::int32_t> HKUp;

 protected:
  // The host resized the component: it keeps its 30 x 30 pixel square.
  void OnResize() override;

 private:
  static const forms::PropertyTable<HotKeys>& Table();
  void CheckTick();
  // The check tick's polls; false once the component is gone.
  bool Poll();
  void RepeatTick();
  // Both timers stop while nothing could come of a tick, and start again
  // in step at the next move; other is the timer whose tick did not call.
  void RestIfQuiet(const platform::Timer& other);
  void Wake();
  [[nodiscard]] bool Idle();
  static std::uint8_t KeyCode(std::int32_t key);
  static void RequireIndex(std::int32_t index);
  void Raise(const Event<std::int32_t>& event, std::int32_t index);

  platform::Platform& platform_;
  std::vector<HotKeyEntry> entries_;
  bool onlyOnFocus_ = false;
  std::unique_ptr<platform::Timer> tmrHKCheck_;
  std::unique_ptr<platform::Timer> tmrHKEvents_;
  // The input's key mark at the latest check tick that polled, while
  // polled_ holds: a tick that finds it unchanged has nothing to learn.
  std::uint64_t keyMark_ = 0;
  bool polled_ = false;
  // Between StartHK and StopHK; resting_ while both timers wait for a move.
  bool started_ = false;
  bool resting_ = false;
  std::uint64_t keyWatch_ = 0;  // 0: the platform tells of no moves
  // False once the component is destroyed; a tick on the stack checks it
  // after every handler and every yield.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace pd::hotkeys
