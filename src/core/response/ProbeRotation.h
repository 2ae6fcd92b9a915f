// Which applications one probe pass asks: always the frontmost one, and up to eight others in
// turn, so that every ordinary application of this account is asked every few passes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/WallTime.h"
#include "core/response/ProbeMessages.h"
#include "core/response/Workspace.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {

inline constexpr int probeTurnSize = 8;          // others asked per pass
inline constexpr double probeLaunchGrace = 30.0;  // seconds an application is left alone after it starts

class ProbeRotation {
 public:
  // The requests of the next pass, in order: the frontmost application first, then the next
  // turn of the others by pid. Only applications of `uid` other than `selfPid`, running at
  // least probeLaunchGrace seconds, are asked; a name-less one is called `unnamed`. Names are
  // cut to probeNameLimit characters.
  std::vector<ProbeRequest> next(const Workspace& workspace, const Snapshot& snapshot, std::uint32_t uid,
                                 std::int32_t selfPid, WallTime now, const std::string& unnamed);
  int position() const { return rotation_; }

 private:
  int rotation_ = 0;
};

}  // namespace hollin
