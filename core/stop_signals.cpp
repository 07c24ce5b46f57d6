#include "core/stop_signals.h"

#include <signal.h>

namespace {
volatile sig_atomic_t stopSignal = 0;
void (*volatile immediateAction)() = nullptr;

void OnStopSignal(int signal) {
  if (stopSignal == 0) {
    stopSignal = signal;
    return;
  }
  // Asked twice: clean up what cannot wait and end by the signal itself, so
  // that the parent sees how the process ended.
  if (immediateAction) immediateAction();
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal, &standard, nullptr);
  raise(signal);  // delivered as soon as this handler returns
}

void Catch(int signal) {
  struct sigaction current = {};
  sigaction(signal, nullptr, &current);
  if (current.sa_handler == SIG_IGN) return;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  // Interrupted reads and writes resume, so no file or pipe write fails for
  // the signal's sake.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void Ignore(int signal) {
  struct sigaction action = {};
  action.sa_handler = SIG_IGN;
  sigaction(signal, &action, nullptr);
}
}  // namespace

void InstallStopSignals() {
  Catch(SIGINT);
  Catch(SIGTERM);
  // A closed terminal ends the program the same way, with the same clean-up.
  Catch(SIGHUP);
  Ignore(SIGPIPE);
  Ignore(SIGXFSZ);
}

int StopSignal() { return stopSignal; }

const char* StopSignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
}

void SetImmediateStopAction(void (*action)()) { immediateAction = action; }
