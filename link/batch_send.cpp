#include "link/batch_send.h"

#include <cstdio>
#include <ostream>

#include "platform/sysinfo.h"

namespace tessaran::link {

int SendFromBatch(ProgramClient& client, const std::string& program, const std::string& serverName,
                  const std::function<SendResult(ProgramClient&)>& send, std::ostream& err) {
  ClientOnlyCallbacks callbacks(client);
  std::string problem;
  auto instance = Instance::Initialize(kFailSelfConnections | kClientOnly | kFailPokes, callbacks, &problem);
  if (!instance) {
    err << program << ": " << problem << "\n";
    return 1;
  }
  client.Attach(*instance, [&instance] { instance->Dispatch(); });
  client.ConnectRunning();
  const SendResult result = send(client);
  // The server this client started goes on serving the suite.
  client.Shutdown(false);
  char code[16];
  std::snprintf(code, sizeof code, "%#x", client.LastError());
  switch (result) {
    case SendResult::Done:
      return 0;
    case SendResult::NotStartable:
    case SendResult::TooBusy:
      break;  // the numbered message has been shown
    case SendResult::NoServer:
      err << program << ": the " << serverName << " was started but did not register within "
          << kStartWaits * kStartWaitMilliseconds / 1000 << " s\n";
      break;
    case SendResult::Ended:
      err << program << ": the " << serverName << " was started but ended before it registered";
      if (!DisplayAvailable()) err << ": it serves from its window, and no display is set (DISPLAY, WAYLAND_DISPLAY)";
      err << "\n";
      break;
    case SendResult::Refused:
      err << program << ": the " << serverName << " refuses new conversations until its present work ends\n";
      break;
    case SendResult::Failed:
      err << program << ": the " << serverName << " did not accept the request (error " << code << ")\n";
      break;
  }
  return 1;
}

}  // namespace tessaran::link
