#include "desktop/windows/installer/service/task_scheduler.h"

#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/task_scheduler_v1.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/service/task_service_v2_impl.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kScheduled[] = L" scheduled ";

}  // namespace

std::wstring GetScheduledTaskName(const std::wstring& name_suffix) {
  return base::UTF8ToWide(GetProductName()) + kScheduled + name_suffix;
}

bool IsProductTaskName(const std::wstring& task_name) {
  return base::StartsWith(task_name, GetScheduledTaskName(L""),
                          base::CompareCase::INSENSITIVE_ASCII);
}

base::Time TimeFromTaskTimeFields(const SYSTEMTIME& fields) {
  base::Time::Exploded exploded;
  exploded.year = fields.wYear;
  exploded.month = fields.wMonth;
  exploded.day_of_week = fields.wDayOfWeek;
  exploded.day_of_month = fields.wDay;
  exploded.hour = fields.wHour;
  exploded.minute = fields.wMinute;
  exploded.second = fields.wSecond;
  exploded.millisecond = fields.wMilliseconds;
  base::Time time;
  if (!base::Time::FromUTCExploded(exploded, &time))
    return base::Time();
  return time;
}

std::unique_ptr<TaskScheduler> CreateTaskScheduler() {
  return CreateTaskScheduler(*WindowsVersionProviderImpl::GetInstance());
}

std::unique_ptr<TaskScheduler> CreateTaskScheduler(const WindowsVersionProvider& version) {
  if (version.GetVersion() >= base::win::VERSION_VISTA) {
    return std::make_unique<TaskSchedulerV2>(std::make_unique<TaskServiceV2Impl>(),
                                             IsUserAdministrator(false));
  }
  return std::make_unique<TaskSchedulerV1>();
}

}  // namespace installer
