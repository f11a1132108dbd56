#include "printer/memory_transport.h"

#include "printer/escpos.h"

namespace dovevid::printer {

namespace {
constexpr char kOnLine = 0x12;  // the bits a ready printer always sets
}

Status MemorySerialPort::Open() {
  if (open_) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
  open_ = true;
  return Status::OK();
}

Status MemorySerialPort::Close() {
  open_ = false;
  return Status::OK();
}

Status MemorySerialPort::Write(std::string_view bytes) {
  if (!open_) return Status::Error(fault::kDeviceIo, "Port not open");
  if (bytes == escpos::StatusQuery(escpos::kPrinterStatus) ||
      bytes == escpos::StatusQuery(escpos::kRollPaperStatus)) {
    replies_ += kOnLine;
  } else {
    printed_ += bytes;
  }
  return Status::OK();
}

Status MemorySerialPort::Read(std::string* bytes) {
  *bytes += replies_;
  replies_.clear();
  return Status::OK();
}

}  // namespace dovevid::printer
