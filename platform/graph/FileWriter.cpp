// The file writer (CLSID_FileWriter): writes each sample at the file position its start time
// gives, as a multiplexer hands out its file. The file is created (an existing one replaced)
// when the graph starts and closed when it stops; a failure to write is reported once as an
// event and ends the writing.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

#include "platform/com/WideString.h"
#include "platform/graph/GraphClasses.h"
#include "platform/graph/RendererFilter.h"
#include "platform/os/FileAccess.h"

namespace korvane::graph {
namespace {

HRESULT ResultOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return HRESULT_ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return E_ACCESSDENIED;
    case EROFS:
      return HRESULT_ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT:
      return HRESULT_ERROR_DISK_FULL;
    case EFBIG:
      return HRESULT_ERROR_FILE_TOO_LARGE;
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:
      return E_FAIL;
  }
}

class FileWriter final : public RendererFilter<IFileSinkFilter> {
 public:
  FileWriter() : RendererFilter(CLSID_FileWriter, u"File writer") {}

  // --- IFileSinkFilter ----------------------------------------------------------------------

  HRESULT SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) override {
    if (!name) return E_POINTER;
    const std::u16string wide(name, com::WideLength(name));
    if (wide.empty()) return E_INVALIDARG;
    if (HostState() != State_Stopped) return VFW_E_NOT_STOPPED;
    std::lock_guard lock(mutex_);
    fileName_ = wide;
    return S_OK;
  }

  HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    std::lock_guard lock(mutex_);
    if (fileName_.empty()) return E_FAIL;
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((fileName_.size() + 1) * sizeof(OLECHAR)));
    if (!copy) return E_OUTOFMEMORY;
    std::copy(fileName_.begin(), fileName_.end(), copy);
    copy[fileName_.size()] = 0;
    *name = copy;
    if (type) *type = AM_MEDIA_TYPE{};
    return S_OK;
  }

  // --- PinHost --------------------------------------------------------------------------------

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE& type) override {
    return type.majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT OnPause(FILTER_STATE from) override {
    RendererFilter::OnPause(from);
    if (from != State_Stopped) return S_OK;
    std::lock_guard lock(mutex_);
    if (fileName_.empty()) return E_INVALIDARG;
    const std::string path = com::Utf16ToUtf8(fileName_);
    os::UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.Valid()) return ResultOfErrno(errno);
    file_ = std::move(file);
    failed_ = false;
    return S_OK;
  }

  HRESULT OnStop() override {
    RendererFilter::OnStop();
    std::lock_guard lock(mutex_);
    if (file_.Valid() && file_.Close() != 0 && !failed_) {
      failed_ = true;
      Notify(EC_ERRORABORT, ResultOfErrno(errno), 0);  // a failed close can be a lost write
    }
    return S_OK;
  }

  HRESULT Render(IMediaSample* sample) override {
    std::lock_guard lock(mutex_);
    if (failed_) return E_FAIL;
    if (!file_.Valid()) return VFW_E_WRONG_STATE;
    REFERENCE_TIME start = 0, end = 0;
    if (FAILED(sample->GetTime(&start, &end)) || start < 0) return VFW_E_SAMPLE_TIME_NOT_SET;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::size_t left = static_cast<std::size_t>(sample->GetActualDataLength());
    off_t at = static_cast<off_t>(start);
    while (left > 0) {
      const ssize_t written = ::pwrite(file_.Get(), data, left, at);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        const HRESULT error = ResultOfErrno(written < 0 ? errno : ENOSPC);
        failed_ = true;
        Notify(EC_ERRORABORT, error, 0);
        return error;
      }
      data += written;
      left -= static_cast<std::size_t>(written);
      at += written;
    }
    return S_OK;
  }

 private:
  std::mutex mutex_;
  std::u16string fileName_;
  os::UniqueFd file_;
  bool failed_ = false;
};

}  // namespace

HRESULT CreateFileWriter(REFIID iid, void** object) {
  return com::MakeCom<FileWriter>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
