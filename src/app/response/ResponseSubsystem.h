// Responsiveness: which of this account's applications stopped answering. Each tick, while the
// accessibility bus is enabled, a short-lived worker process asks the frontmost application
// and the next turn of the others; the verdicts feed the policy, the account's report, the
// hang notices, the response tab and the shown level.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "app/response/ProbePass.h"
#include "app/tick/SerialQueue.h"
#include "app/tick/Subsystem.h"
#include "core/response/HangNotices.h"
#include "core/response/ProbeRotation.h"
#include "core/response/ResponsePolicy.h"

namespace hollin {

struct ResponseSources {
  std::function<Workspace()> workspace;  // sampling thread
  ProbeCommand probe;
};

ResponseSources liveResponseSources();

// Reads the desktop's applications into each take. Sampling thread only.
class ResponseReader final : public SnapshotReader {
 public:
  explicit ResponseReader(std::function<Workspace()> workspace) : workspace_(std::move(workspace)) {}
  void read(Snapshot& snapshot, const TakeMoment& moment) override;

 private:
  std::function<Workspace()> workspace_;
};

class ResponseSubsystem final : public Subsystem {
 public:
  ResponseSubsystem(Services services, ResponseSources sources);
  ~ResponseSubsystem() override;

  std::shared_ptr<SnapshotReader> reader() override { return reader_; }
  void evaluate(const Moment& moment) override;
  void contribute(Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;
  void metrics(MetricsText& metrics, const Moment& moment) const override;
  void sleepChanged(bool asleep) override;
  void sessionActiveChanged(bool) override { reset(); }

  bool busy() const { return busy_; }
  const ResponsePolicy& policy() const { return policy_; }

 private:
  // Starts a probe pass for the moment's snapshot unless one is running.
  void check(const Moment& moment);
  // A pass ended (or timed out): the verdicts and the report; when it ends `late`, after its
  // tick, also the notices and a redraw.
  void probed(const std::vector<ProbeResult>& results, bool ok, const std::unordered_set<AppIdentity>& living,
              bool late);
  // The hang notices due from every account's report; the account at the console posts them.
  void tellHangs();
  void reset();
  void verdictsChanged();

  Services services_;
  ResponseSources sources_;
  std::shared_ptr<ResponseReader> reader_;
  ResponsePolicy policy_;
  ProbeRotation rotation_;
  HangNoticeLedger hangs_;
  std::shared_ptr<const std::vector<AppResponse>> verdicts_;
  bool trusted_ = false;
  bool busMissing_ = false;
  bool workerHealthy_ = true;
  bool busy_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for notices answered late
  QObject receiver_;   // the passes' steps come back to it, and only while it exists
  SerialQueue queue_;  // one pass at a time; declared last, so it stops first
};

}  // namespace hollin
