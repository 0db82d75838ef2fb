#include "TaskTestSupport.h"

namespace winhush::test {

ComPtr<ITaskScheduler> TaskScheduler() {
    ComPtr<ITaskScheduler> scheduler;
    ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler, scheduler.put_void());
    return scheduler;
}

ComPtr<ITask> FindTask() {
    ComPtr<ITask> task;
    if (auto scheduler = TaskScheduler()) scheduler->Activate(kTaskName, IID_ITask, task.put_unknown());
    return task;
}

void DeleteTask() {
    if (auto scheduler = TaskScheduler()) scheduler->Delete(kTaskName);
}

}  // namespace winhush::test
