// Calls to the management service within the program's limits, and Wine's one-call-at-a-time lock.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <functional>
#include <mutex>
#include <string>

#include "management/dcom/com.h"
#include "management/result.h"

namespace qv::management::dcom {

// Wine's management provider runs inside the process and is not safe for calls from several
// threads at once (two queries at the same time can crash it). There each call on a connection
// holds this lock; Windows' service takes calls from any number of threads.
std::unique_lock<std::mutex> providerLock();

// Runs `call` on a thread of its own, in the multithreaded apartment, and waits for it at most
// `limitMs`. False when the limit came first: the call is left to end by itself and must own
// (through its captures) all it uses.
bool finishesWithin(int limitMs, std::function<void()> call);

// Reads the class or object at `objectPath` (`method` null), or calls its method `method` with
// `in` and `context` (either may be null), on a thread of its own within `limitMs`: the object or
// the method's out-parameters (null when it gives none), or the error; a call that reached the
// limit fails with limitReached. The thread holds its own references, so a call that outlives the
// limit ends harmlessly.
Result<ComRef<IWbemClassObject>> boundedCall(IWbemServices* services, const std::string& objectPath,
                                             const wchar_t* method, IWbemClassObject* in, IWbemContext* context,
                                             int limitMs);

}  // namespace qv::management::dcom
