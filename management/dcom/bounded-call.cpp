// Calls to the management service within the program's limits, and Wine's provider lock.
#include "management/dcom/bounded-call.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <system_error>

#include "management/errors.h"
#include "platform/win32/host-win32.h"

namespace qv::management::dcom {

std::unique_lock<std::mutex> providerLock() {
    static std::mutex wineProvider;
    return win32::runningUnderWine() ? std::unique_lock<std::mutex>(wineProvider) : std::unique_lock<std::mutex>();
}

namespace {

// A bounded call and the signal its thread gives once the call has returned; the thread owns it.
struct BoundedTask {
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    std::function<void()> call;
    std::shared_ptr<Done> done = std::make_shared<Done>();
};

DWORD WINAPI runBoundedTask(void* parameter) {
    std::unique_ptr<BoundedTask> task(static_cast<BoundedTask*>(parameter));
    const std::shared_ptr<BoundedTask::Done> done = task->done;
    {
        MultithreadedApartment apartment;
        task->call();
        task.reset();  // what the call holds is released inside the apartment
    }
    std::lock_guard<std::mutex> lock(done->mutex);
    done->done = true;
    done->cv.notify_all();
    return 0;
}

}  // namespace

// The thread is a plain Windows thread, not a detached std::thread: MinGW's pthread layer hands the
// record of a detached thread that ended before it was detached to the next thread while the first
// is still exiting, and that exit then wipes it, so the next call's thread could end without ever
// running its call (the caller waited out the whole limit) or run it with a null argument.
bool finishesWithin(int limitMs, std::function<void()> call) {
    auto task = std::make_unique<BoundedTask>();
    task->call = std::move(call);
    const std::shared_ptr<BoundedTask::Done> done = task->done;
    HANDLE thread = CreateThread(nullptr, 0, &runBoundedTask, task.get(), 0, nullptr);
    if (!thread) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateThread");
    task.release();  // the thread owns it now
    CloseHandle(thread);
    std::unique_lock<std::mutex> lock(done->mutex);
    return done->cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return done->done; });
}

Result<ComRef<IWbemClassObject>> boundedCall(IWbemServices* services, const std::string& objectPath,
                                             const wchar_t* method, IWbemClassObject* in, IWbemContext* context,
                                             int limitMs) {
    struct Call {
        IWbemServices* services = nullptr;
        IWbemClassObject* in = nullptr;
        IWbemContext* context = nullptr;
        IWbemClassObject* out = nullptr;
        HRESULT hr = WBEM_E_FAILED;
        ~Call() {
            if (services) services->Release();
            if (in) in->Release();
            if (context) context->Release();
            if (out) out->Release();
        }
    };
    auto call = std::make_shared<Call>();
    call->services = services;
    call->services->AddRef();
    if (in) {
        call->in = in;
        in->AddRef();
    }
    if (context) {
        call->context = context;
        context->AddRef();
    }
    const std::wstring methodName = method ? method : L"";
    const std::string path = objectPath;
    bool finished = finishesWithin(limitMs, [call, methodName, path] {
        if (methodName.empty())
            call->hr = call->services->GetObject(Bstr(path).get(), 0, nullptr, &call->out, nullptr);
        else {
            BSTR name = SysAllocString(methodName.c_str());
            call->hr = call->services->ExecMethod(Bstr(path).get(), name, 0, call->context, call->in, &call->out,
                                                 nullptr);
            SysFreeString(name);
        }
    });
    if (!finished) return CallError{{kErrTimedOut, kErrTimedOutText}, true};
    if (FAILED(call->hr)) return CallError{errorOf(call->hr)};
    ComRef<IWbemClassObject> result;
    if (call->out) {
        *result.put() = call->out;
        call->out = nullptr;
    }
    return result;
}

}  // namespace qv::management::dcom
