#include "sim/interpreter.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sim/firmware_loader.h"
#include "sim/printer_sim.h"

namespace deveder::sim {

namespace {

constexpr char kEsc = 0x1B;

// Splits the arguments of a line: each is a space and a quoted text. The last
// argument runs to the last quote of the line, so a value may hold quotes.
// `fixed` arguments are taken first; the rest of the line is one more.
bool SplitArgs(const std::string& rest, std::size_t fixed, std::vector<std::string>& out) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < fixed; ++i) {
    if (pos + 1 >= rest.size() || rest[pos] != ' ' || rest[pos + 1] != '"') return false;
    std::size_t close = rest.find('"', pos + 2);
    if (close == std::string::npos) return false;
    out.push_back(rest.substr(pos + 2, close - pos - 2));
    pos = close + 1;
  }
  if (pos == rest.size()) return true;
  if (pos + 1 >= rest.size() || rest[pos] != ' ' || rest[pos + 1] != '"') return false;
  std::size_t close = rest.rfind('"');
  if (close <= pos + 1) return false;
  out.push_back(rest.substr(pos + 2, close - pos - 2));
  return close + 1 == rest.size();
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Splits the words of a do line: every argument quoted, separated by spaces.
std::vector<std::string> QuotedWords(const std::string& rest) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (pos < rest.size()) {
    std::size_t open = rest.find('"', pos);
    if (open == std::string::npos) break;
    std::size_t close = rest.find('"', open + 1);
    if (close == std::string::npos) break;
    words.push_back(rest.substr(open + 1, close - open - 1));
    pos = close + 1;
  }
  return words;
}

// What is wrong with a command line as received: a control byte between
// its ESC ESC and its CR LF, or an odd number of double quotes. Such a line
// is not one the tool meant to send (the language has no escape for these
// bytes); empty when the line is sound.
std::string LineFault(const std::string& line) {
  std::size_t begin = line.size() >= 2 && line[0] == kEsc && line[1] == kEsc ? 2 : 0;
  std::size_t end = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0 ? line.size() - 2 : line.size();
  int quotes = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F) {
      char note[64];
      std::snprintf(note, sizeof note, "fault: control byte 0x%02X at %zu", c, i);
      return note;
    }
    quotes += c == '"';
  }
  if (quotes % 2 != 0) return "fault: unbalanced quote";
  return {};
}

int FieldCount(const std::string& reply) {
  int n = 1;
  for (char c : reply) n += (c == ';');
  return n;
}

}  // namespace

Interpreter::Interpreter(PrinterSim& sim) : sim_(sim), firmware_(std::make_unique<FirmwareLoader>(sim)) {}
Interpreter::~Interpreter() = default;

void Interpreter::Feed(const char* data, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    switch (mode_) {
      case Mode::Hunt: {
        // Two bytes decide what follows: ESC ESC a command line, ESC DLE a
        // sum-framed firmware packet, 03 AF an XOR-framed one; anything
        // else is the start of a raw print job.
        pending_.push_back(data[i++]);
        if (pending_.size() < 2) break;
        const unsigned char a = pending_[0], b = pending_[1];
        std::string head;
        head.swap(pending_);
        if (a == kEsc && b == kEsc) {
          mode_ = Mode::Line;
          pending_ = head;
        } else if ((a == kEsc && b == 0x10) || (a == 0x03 && b == 0xAF)) {
          mode_ = Mode::Packet;
          firmware_->BeginPacket(a == kEsc ? FirmwareLoader::Framing::Sum : FirmwareLoader::Framing::Xor);
          std::size_t took = firmware_->Consume(head.data(), head.size());
          if (took < head.size() || !firmware_->InPacket()) mode_ = Mode::Hunt;
        } else {
          mode_ = Mode::Job;
          jobSize_ = 0;
          jobHash_ = Fnv1a64(nullptr, 0);
          jobHead_.clear();
          jobSize_ = head.size();
          jobHash_ = Fnv1a64(head.data(), head.size(), jobHash_);
          jobHead_ = head;
        }
        break;
      }
      case Mode::Line: {
        // Up to CR LF; a line that grows past any sane size is dropped.
        while (i < n) {
          char c = data[i++];
          pending_.push_back(c);
          if (c == '\n' && pending_.size() >= 2 && pending_[pending_.size() - 2] == '\r') {
            std::string line;
            line.swap(pending_);
            mode_ = Mode::Hunt;
            sim_.Record({LogEntry::Line, line, ""});
            if (const std::string fault = LineFault(line); !fault.empty())
              sim_.Record({LogEntry::Event, line, fault});
            HandleLine(line);
            break;
          }
          if (pending_.size() > 65536) {
            sim_.Record({LogEntry::Event, pending_.substr(0, 64), "overlong line dropped"});
            pending_.clear();
            mode_ = Mode::Hunt;
            break;
          }
        }
        break;
      }
      case Mode::Download: {
        std::size_t take = static_cast<std::size_t>(std::min<long long>(dlRemaining_, static_cast<long long>(n - i)));
        dlHash_ = Fnv1a64(data + i, take, dlHash_);
        dlSize_ += take;
        dlRemaining_ -= static_cast<long long>(take);
        i += take;
        if (dlRemaining_ == 0) {
          mode_ = Mode::Hunt;
          DownloadRecord rec{dlKind_, dlName_, dlSize_, dlHash_, true};
          sim_.UpdateDownload(rec);
          sim_.Record({LogEntry::Download, "", dlKind_ + " " + std::to_string(dlSize_) + " bytes"});
          if (!sim_.GetFaults().noConfirmation) sim_.SendRaw("\x01");
        }
        break;
      }
      case Mode::Job: {
        jobHash_ = Fnv1a64(data + i, n - i, jobHash_);
        if (jobHead_.size() < 16) jobHead_.append(data + i, std::min<std::size_t>(16 - jobHead_.size(), n - i));
        jobSize_ += n - i;
        i = n;
        break;
      }
      case Mode::Packet: {
        std::size_t took = firmware_->Consume(data + i, n - i);
        i += took;
        if (!firmware_->InPacket()) mode_ = Mode::Hunt;
        break;
      }
    }
  }
}

void Interpreter::Quiet() {
  if (mode_ == Mode::Job) EndJob();
  // A lone first byte that was never followed is a one-byte job.
  if (mode_ == Mode::Hunt && !pending_.empty()) {
    jobHead_ = pending_;
    jobSize_ = pending_.size();
    jobHash_ = Fnv1a64(pending_.data(), pending_.size());
    pending_.clear();
    EndJob();
  }
}

void Interpreter::EndJob() {
  JobRecord job;
  job.size = jobSize_;
  job.hash = jobHash_;
  // The job's first line tells its language.
  if (jobHead_.rfind("! ", 0) == 0) job.language = "CPCL";
  else if (jobHead_.rfind("SIZE", 0) == 0 || jobHead_.rfind("GAP", 0) == 0 || jobHead_.rfind("CLS", 0) == 0)
    job.language = "TSPL";
  sim_.RecordJob(job);
  sim_.Record({LogEntry::Job, jobHead_, std::to_string(jobSize_) + " bytes " + job.language});
  mode_ = Mode::Hunt;
  jobSize_ = 0;
  jobHead_.clear();
}

void Interpreter::StartDownload(const std::string& kind, const std::string& name, long long size) {
  dlKind_ = kind;
  dlName_ = name;
  dlRemaining_ = size < 0 ? 0 : size;
  dlSize_ = 0;
  dlHash_ = Fnv1a64(nullptr, 0);
  sim_.RecordDownload({kind, name, 0, dlHash_, false});
  const Faults f = sim_.GetFaults();
  if (f.noGoAhead) return;  // the printer never takes the data
  sim_.SendRaw("\x01");
  if (dlRemaining_ == 0) {
    sim_.UpdateDownload({kind, name, 0, dlHash_, true});
    if (!f.noConfirmation) sim_.SendRaw("\x01");
    return;
  }
  mode_ = Mode::Download;
}

void Interpreter::HandleLine(const std::string& raw) {
  std::string line = raw;
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
  if (line.size() >= 2 && line[0] == kEsc && line[1] == kEsc) line.erase(0, 2);
  static const std::string kPrefix = "! U1 ";
  if (line.rfind(kPrefix, 0) != 0) return;
  line.erase(0, kPrefix.size());
  std::size_t sp = line.find(' ');
  if (sp == std::string::npos) return;
  const std::string verb = line.substr(0, sp);
  const std::string rest = line.substr(sp);

  const Faults faults = sim_.GetFaults();
  const std::string modelReply = sim_.ModelReply();
  // A printer whose model reply has no fourth field understands only the
  // numbered form for group variables.
  const bool namedForm = FieldCount(modelReply) >= 4 && modelReply.find(';') != std::string::npos &&
                         [&] {
                           std::size_t p = 0;
                           for (int k = 0; k < 3; ++k) p = modelReply.find(';', p) + 1;
                           return p < modelReply.size() && modelReply[p] != ';';
                         }();

  if (verb == "getvar") {
    std::vector<std::string> args;
    std::string name;
    if (SplitArgs(rest, 2, args) && args.size() == 2 && AllDigits(args[0]) && AllDigits(args[1])) {
      auto lock = sim_.Lock();
      auto n = sim_.Store().NameOf(std::atoi(args[0].c_str()), std::atoi(args[1].c_str()));
      if (!n) return;
      name = *n;
    } else {
      args.clear();
      if (!SplitArgs(rest, 1, args) || args.size() != 1) return;
      name = args[0];
      auto lock = sim_.Lock();
      if (!sim_.Store().Knows(name)) return;
      if (!namedForm && !sim_.Store().IsNamedOnly(name)) return;
    }
    if (faults.silent) return;
    std::string value;
    if (name == "model") {
      value = modelReply;
    } else {
      auto lock = sim_.Lock();
      value = *sim_.Store().Get(name);
      if (sim_.Store().IsWlan(name)) value.push_back('\0');
    }
    sim_.Send(value, name);
    return;
  }

  if (verb == "setvar") {
    std::vector<std::string> args;
    std::string name, value;
    if (SplitArgs(rest, 2, args) && args.size() == 3 && AllDigits(args[0]) && AllDigits(args[1])) {
      auto lock = sim_.Lock();
      auto n = sim_.Store().NameOf(std::atoi(args[0].c_str()), std::atoi(args[1].c_str()));
      if (!n) return;
      name = *n;
      value = args[2];
    } else {
      args.clear();
      if (!SplitArgs(rest, 1, args) || args.size() != 2) return;
      name = args[0];
      value = args[1];
      auto lock = sim_.Lock();
      if (!sim_.Store().Knows(name)) return;
      if (!namedForm && !sim_.Store().IsNamedOnly(name)) return;
    }
    if (name == "model") {
      // The model name is the first field of the model reply; a ';' in the
      // value would start another field, so the name ends there and the
      // other fields stay as they were.
      std::size_t semi = modelReply.find(';');
      sim_.SetModelReply(value.substr(0, value.find(';')) +
                         (semi == std::string::npos ? "" : modelReply.substr(semi)));
      return;
    }
    // The module takes its address as twelve hexadecimal digits and shows
    // it as six colon-separated pairs.
    if (name == "bluetooth.address" && value.size() == 12 &&
        value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
      std::string pairs;
      for (std::size_t k = 0; k < 12; k += 2) pairs += (k ? ":" : "") + value.substr(k, 2);
      value = pairs;
    }
    auto lock = sim_.Lock();
    sim_.Store().Set(name, value);
    return;
  }

  if (verb == "do") {
    std::vector<std::string> words = QuotedWords(rest);
    if (words.empty()) return;
    if (words[0] == "download" && words.size() >= 3) {
      // The last field runs to the last quote of the line: a file name may
      // itself hold quotes.
      std::vector<std::string> args;
      if (!SplitArgs(rest, 2, args) || args.size() != 3) return;
      const std::string& kind = args[1];
      std::string name;
      std::string sizeText = args[2];
      if (kind == "fontext") {
        std::size_t colon = sizeText.rfind(':');
        if (colon == std::string::npos) return;
        name = sizeText.substr(0, colon);
        sizeText = sizeText.substr(colon + 1);
      } else if (kind != "font" && kind != "demo") {
        return;
      }
      if (!AllDigits(sizeText)) return;
      StartDownload(kind, name, std::atoll(sizeText.c_str()));
    }
    // Other actions (tests, dump, factory default) are applied silently; the
    // log keeps the line.
    return;
  }
}

}  // namespace deveder::sim
