// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture.h"
#include "core/utf8path.h"
#include "files/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace meter {
namespace {

using Kind = CaptureEvent::Kind;

CaptureEvent event(Kind kind, std::int64_t ms) {
    CaptureEvent e;
    e.kind = kind;
    e.ms = ms;
    return e;
}

// One of every kind of event, with bytes no text encoding would keep.
Capture sample() {
    Capture c;
    c.header.program = "1.0.0";
    c.header.typetext = "5400(4表头)";
    c.header.code = 12;
    c.header.line = LineSettings{4800, 'n', 8, 1};
    c.header.port = 1;
    c.header.device = "/dev/ttyUSB0";
    c.header.start = "2026-12-07T15:10:08+08:00";
    CaptureEvent tx = event(Kind::tx, 0);
    tx.bytes = {0x00, 0x10, 0xFF, 0x0A};
    CaptureEvent poll = event(Kind::poll, 1000);
    poll.count = 1;
    CaptureEvent rx = event(Kind::rx, 1000);
    rx.bytes = {0x80, 0x0D, 0x22};
    CaptureEvent vendor = event(Kind::vendor, 1001);
    vendor.call = "ReadRegister";
    vendor.argument = 3;
    vendor.text = std::string("00\xFF\x01\"\\", 6);
    CaptureEvent open = event(Kind::vendor, 1001);
    open.call = "ComOpen";
    open.argument = -2;
    open.number = 1;
    CaptureEvent hung = event(Kind::vendor, 1002);
    hung.call = "ComClose";
    hung.argument = 3;
    hung.why = Reason(ReasonCode::line_lost, "/dev/ttyUSB0",
                      Reason(ReasonCode::system_message, "Input/output error"));
    CaptureEvent last = event(Kind::vendor, 1002);
    last.call = "lasterror";
    last.text = "端口忙";
    CaptureEvent lost = event(Kind::error, 1003);
    lost.call = "readall";
    lost.why = Reason(ReasonCode::line_lost_read);
    c.events = {tx, poll, rx, vendor, open, hung, last, lost};
    c.outcome.ms = 1003;
    c.outcome.end = "failure";
    c.outcome.status = "failed";
    c.outcome.reasoncode = "line_lost_read";
    c.outcome.reason = "the line was lost (read failed)";
    c.outcome.record = std::string(56, '0');
    c.outcome.record[3] = '\xB5';
    c.outcome.sent = " 0 10 FF A";
    c.outcome.received = " 80 D 22";
    return c;
}

// A verified reading's capture: both exchanges, the second after its "again" line.
Capture verified() {
    Capture c = sample();
    c.header.version = captureversion;
    c.header.verify = true;
    c.again = true;
    c.againms = 1003;
    c.second = c.events;
    for (CaptureEvent& e : c.second) e.ms += 1003;
    c.outcome.ms = 2006;
    c.outcome.verified = false;
    return c;
}

TEST(Capture, WritesAndReadsBackEveryKindOfEventUnchanged) {
    for (const Capture& c : {sample(), [] {
                                 Capture copote = sample();
                                 copote.header.code = 51;
                                 copote.header.typetext = "copote";
                                 copote.header.line.reset();
                                 copote.events.clear();
                                 copote.outcome.ms = 0;
                                 return copote;
                             }(),
                             verified()}) {
        const std::string text = capturetext(c);
        const CaptureRead read = parsecapture(text);
        ASSERT_TRUE(read.capture) << read.why.english();
        EXPECT_EQ(*read.capture, c);
        // One object per line, the outcome last, and nothing but UTF-8 in the file.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                  2 + std::ssize(c.events) + c.again + std::ssize(c.second));
        // A single reading's capture stays of the version every reader takes.
        EXPECT_TRUE(text.starts_with("{\"format\":\"meterreader-capture\",\"version\":" +
                                     std::string(c.header.verify ? "2" : "1") + ","));
        EXPECT_NE(text.rfind("{\"ms\":"), std::string::npos);
        EXPECT_EQ(capturetext(*read.capture), text);
    }
}

TEST(Capture, ReadsWhatAnotherWriterMayWrite) {
    const std::string head =
        R"({"format":"meterreader-capture","version":1,"program":"0.9","type":"x","code":21,)"
        R"("line":"9600,n,8,2","port":1,"device":"","start":"","extra":[1,2]})";
    const std::string end =
        R"({"ms":5,"event":"outcome","end":"normal","status":"read","reason_code":"",)"
        R"("reason":"","record":"","sent":"","received":""})";
    // A byte order mark, CR LF line ends, lower-case hex, fields in another order, fields of a
    // later program of the same version, no line end after the outcome.
    const std::string text = "\xEF\xBB\xBF" + head + "\r\n" +
                             R"({"hex":"0aff","event":"rx","ms":0,"new":true})" + "\r\n" + end;
    const CaptureRead read = parsecapture(text);
    ASSERT_TRUE(read.capture) << read.why.english();
    EXPECT_EQ(read.capture->events.at(0).bytes, (Bytes{0x0A, 0xFF}));
    EXPECT_EQ(read.capture->header.line, (LineSettings{9600, 'n', 8, 2}));
    EXPECT_EQ(read.capture->outcome.ms, 5);
}

// Line `n` of the sample's text replaced by `line` (0: the text as it is).
std::string withline(std::size_t n, const std::string& line) {
    std::string text = capturetext(sample());
    if (n == 0) return text;
    std::size_t at = 0;
    for (std::size_t k = 1; k < n; ++k)
        at = text.find('\n', at) + 1;
    const std::size_t lf = text.find('\n', at);
    return text.replace(at, lf - at, line);
}

TEST(Capture, RefusesWhatIsNoCaptureWithItsLine) {
    const std::string sampletext = capturetext(sample());
    const std::string header1 = sampletext.substr(0, sampletext.find('\n'));
    const auto headerwith = [&header1](const std::string& from, const std::string& to) {
        std::string h = header1;
        return h.replace(h.find(from), from.size(), to);
    };
    struct Case {
        const char* what;
        std::string text;
        ReasonCode code;
        std::string english;
    } cases[] = {
        {"empty", "", ReasonCode::capture_not_capture,
         "line 1: this is not a capture of a reading"},
        {"a journal", "\xEF\xBB\xBF\"time\",\"port\"\r\n", ReasonCode::capture_not_capture, ""},
        {"another format", withline(1, R"({"format":"pcap","version":1})"),
         ReasonCode::capture_not_capture, ""},
        {"newer version", withline(1, headerwith("\"version\":1", "\"version\":3")),
         ReasonCode::capture_newer_version,
         "line 1: the capture has format version 3; this program reads up to version 2"},
        // Only a verified reading's capture holds a second reading, and only one.
        {"again in a single reading", withline(3, R"({"ms":1000,"event":"again"})"),
         ReasonCode::capture_unknown_event, "line 3: unknown event \"again\""},
        {"again twice", [] {
             std::string text = capturetext(verified());
             const std::size_t at = text.find("{\"ms\":1003,\"event\":\"again\"}\n");
             return text.insert(at, "{\"ms\":1003,\"event\":\"again\"}\n");
         }(),
         ReasonCode::capture_again_twice,
         "line 11: a second \"again\" line (a capture holds two readings at most)"},
        {"unknown type", withline(1, headerwith("\"code\":12", "\"code\":99")),
         ReasonCode::capture_unknown_type, "line 1: machine type 99 is not known to this program"},
        {"type not a number", withline(1, headerwith("\"code\":12", "\"code\":\"12\"")),
         ReasonCode::capture_bad_field, "line 1: the field \"code\" is missing or not valid"},
        {"bad line settings", withline(1, headerwith("4800,n,8,1", "4800,x,8,1")),
         ReasonCode::capture_bad_field, ""},
        {"truncated after an event", sampletext.substr(0, sampletext.rfind("{\"ms\":1003")),
         ReasonCode::capture_truncated,
         "line 9: the capture ends without its outcome line (it was cut short)"},
        {"cut in the middle of a line", sampletext.substr(0, sampletext.size() - 20),
         ReasonCode::capture_truncated, ""},
        {"not JSON", withline(3, "{\"ms\":1000,"), ReasonCode::capture_bad_json,
         "line 3 is not a well-formed line of a capture"},
        {"blank line", withline(3, ""), ReasonCode::capture_bad_json, ""},
        {"bad hex", withline(2, R"({"ms":0,"event":"tx","hex":"0G"})"), ReasonCode::capture_bad_hex,
         "line 2: the bytes are not pairs of hexadecimal digits"},
        {"odd hex", withline(2, R"({"ms":0,"event":"tx","hex":"001"})"),
         ReasonCode::capture_bad_hex, ""},
        {"time backwards", withline(4, R"({"ms":999,"event":"rx","hex":"00"})"),
         ReasonCode::capture_time_backwards, "line 4: the time goes back from 1000 ms to 999 ms"},
        {"negative time", withline(2, R"({"ms":-1,"event":"tx","hex":"00"})"),
         ReasonCode::capture_bad_field, ""},
        {"unknown event", withline(3, R"({"ms":1000,"event":"break"})"),
         ReasonCode::capture_unknown_event, "line 3: unknown event \"break\""},
        {"poll without count", withline(3, R"({"ms":1000,"event":"poll"})"),
         ReasonCode::capture_bad_field, ""},
        {"unknown vendor call",
         withline(5, R"({"ms":1001,"event":"vendor","call":"Format","argument":1,"result":1})"),
         ReasonCode::capture_bad_field, "line 5: the field \"call\" is missing or not valid"},
        {"result above a byte",
         withline(
             5, R"({"ms":1001,"event":"vendor","call":"ReadRegister","argument":1,"result":"表"})"),
         ReasonCode::capture_bad_field, ""},
        {"unknown reason",
         withline(
             9,
             R"({"ms":1003,"event":"error","call":"readall","error":{"code":"nope","parts":[]}})"),
         ReasonCode::capture_bad_field, ""},
        {"unknown end",
         sampletext.substr(0, sampletext.rfind("{\"ms\":1003,\"event\":\"outcome\"")) +
             R"({"ms":1003,"event":"outcome","end":"odd","status":"failed","reason_code":"","reason":"","record":"","sent":"","received":""})",
         ReasonCode::capture_bad_field, "line 10: the field \"end\" is missing or not valid"},
        {"after the outcome", sampletext + "{}\n", ReasonCode::capture_after_outcome,
         "line 11: the capture goes on after its outcome line"},
        {"too large", std::string(capturemaxbytes + 1, ' '), ReasonCode::capture_too_large,
         "the capture has 16777217 bytes, more than the 16777216 a capture may have"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CaptureRead read = parsecapture(c.text);
        EXPECT_FALSE(read.capture);
        EXPECT_EQ(read.why.code(), c.code) << read.why.english();
        if (!c.english.empty()) {
            EXPECT_EQ(read.why.english(), c.english);
        }
    }
}

TEST(Capture, FileIsWrittenWholeAndReadBack) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("capture_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_抓包");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "reading.jsonl";
    {
        std::ofstream old(file);
        old << "an older file";
    }
    ASSERT_TRUE(files::replace(utf8of(file), capturetext(sample())).empty());
    EXPECT_TRUE(iscapture(capturetext(sample())));
    const CaptureRead read = readcapture(file);
    ASSERT_TRUE(read.capture) << read.why.english();
    EXPECT_EQ(*read.capture, sample());
    // Only the file itself is left: the temporary one was renamed over it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

    EXPECT_FALSE(iscapture(capturetext(sample()).substr(0, 40)));
    EXPECT_FALSE(iscapture("an older file"));
    EXPECT_EQ(readcapture(dir / "missing.jsonl").why.code(), ReasonCode::capture_not_opened);
    std::filesystem::resize_file(file, capturemaxbytes + 1);
    EXPECT_EQ(readcapture(file).why.code(), ReasonCode::capture_too_large);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace meter
