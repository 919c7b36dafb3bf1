#include "service/web_api.h"

#include <sys/vfs.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

#include "attribution/protocol.h"
#include "service/list_rows.h"
#include "service/query.h"
#include "service/web/web_assets.h"
#include "tables/table.h"
#include "tables/text_escape.h"
#include "tables/xlsx.h"

namespace numtrail::service {

namespace {

using attribution::NumberKind;
using attribution::Record;
using attribution::Status;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kJsonType = "application/json; charset=utf-8";
constexpr std::string_view kJsonLinesType = "application/x-ndjson; charset=utf-8";
constexpr std::string_view kCsvType = "text/csv; charset=utf-8";
constexpr std::string_view kXlsxType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
// A download's name: 号码归属.csv, with an ASCII name for clients that take no other.
constexpr std::string_view kDownloadName = "%E5%8F%B7%E7%A0%81%E5%BD%92%E5%B1%9E";

// A piece of a streamed answer is sent once it holds this much, so that a client sees the
// first rows at once and the connection's buffers are filled in whole pieces.
constexpr std::size_t kPieceBytes = 64 * 1024;
constexpr std::size_t kRowsPerStep = 1024;

enum class Format { Jsonl, Csv, Xlsx };

void GuardHeaders(HttpResponse& res) {
    res.SetHeader("Content-Security-Policy", std::string(kContentSecurityPolicy));
    res.SetHeader("X-Content-Type-Options", "nosniff");
    res.SetHeader("Referrer-Policy", "no-referrer");
    res.SetHeader("Cache-Control", "no-store");
}

void SendJson(HttpResponse& res, int status, std::string body) {
    res.status = status;
    res.SetHeader("Content-Type", std::string(kJsonType));
    res.body = std::move(body);
    res.body += '\n';
}

void SendError(HttpResponse& res, int status, std::string_view message) {
    std::string body = "{\"error\":";
    tables::AppendJsonString(body, message);
    body += '}';
    SendJson(res, status, std::move(body));
}

// What a request asks for: ?format= wins, then the Accept header, else JSON lines.
std::optional<Format> ChooseFormat(const HttpRequest& req) {
    const std::string_view query = SplitTarget(req.target).query;
    if (HasQueryParameter(query, "format")) {
        const std::string name = attribution::QueryParameter(query, "format");
        if (name == "jsonl") return Format::Jsonl;
        if (name == "csv") return Format::Csv;
        if (name == "xlsx") return Format::Xlsx;
        return std::nullopt;
    }
    const std::string_view accept = req.Header("Accept");
    if (accept.find(kXlsxType) != std::string_view::npos) return Format::Xlsx;
    if (accept.find("text/csv") != std::string_view::npos) return Format::Csv;
    return Format::Jsonl;
}

void SetDownload(HttpResponse& res, std::string_view type, std::string_view suffix) {
    res.SetHeader("Content-Type", std::string(type));
    res.SetHeader("Content-Disposition", "attachment; filename=\"numtrail." + std::string(suffix) +
                                             "\"; filename*=UTF-8''" + std::string(kDownloadName) +
                                             "." + std::string(suffix));
}

std::string_view KindName(NumberKind kind) {
    switch (kind) {
        case NumberKind::Mobile:
            return "mobile";
        case NumberKind::Landline:
            return "landline";
        case NumberKind::Service:
            return "service";
        case NumberKind::None:
            break;
    }
    return {};
}

const Record& FieldsOf(const ListRow& row) {
    static const Record kNone;
    return row.record != nullptr ? *row.record : kNone;
}

// The JSON line of each row. What follows the number depends only on the answer and the kind,
// so it is written once per answer.
class JsonRows {
  public:
    void Append(std::string& out, const ListRow& row) {
        out += "{\"line_number\":";
        out += std::to_string(row.line_number);
        out += ",\"line\":";
        tables::AppendJsonString(out, row.line);
        out += ",\"number\":\"";
        out += row.number.Digits();
        out += '"';
        const auto key = std::make_tuple(row.record, row.status, row.number.kind);
        auto found = tails_.find(key);
        if (found == tails_.end()) found = tails_.emplace(key, Tail(row)).first;
        out += found->second;
    }

  private:
    static std::string Tail(const ListRow& row) {
        const Record& r = FieldsOf(row);
        std::string tail;
        const std::pair<std::string_view, std::string_view> members[] = {
            {"province", r.province},           {"city", r.city},
            {"area_code", r.area_code},         {"postcode", r.postcode},
            {"card_type", r.card_type},         {"status", attribution::StatusName(row.status)},
            {"kind", KindName(row.number.kind)}};
        for (const auto& [name, value] : members) {
            tail += ",\"";
            tail += name;
            tail += "\":";
            tables::AppendJsonString(tail, value);
        }
        tail += "}\n";
        return tail;
    }

    std::map<std::tuple<const Record*, Status, NumberKind>, std::string> tails_;
};

// The window's table row of a number found: ResultCells of its row.
std::array<std::string_view, 6> ResultCellsOf(std::string_view number, const Record& r) {
    return {number, r.province, r.city, r.area_code, r.postcode, r.card_type};
}

// A folder on a memory file system for the Excel writer's work files, which hold the numbers:
// nothing of a request is to reach a disk. Empty when there is none.
std::filesystem::path MemoryFolder() {
    constexpr long kTmpfs = 0x01021994, kRamfs = 0x858458f6;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    for (const char* folder : {runtime, "/dev/shm"}) {
        struct statfs fs {};
        if (folder != nullptr && *folder == '/' && statfs(folder, &fs) == 0 &&
            (static_cast<long>(fs.f_type) == kTmpfs || static_cast<long>(fs.f_type) == kRamfs))
            return folder;
    }
    return {};
}

// What a streamed answer needs between the transport's calls for more. The request, whose
// body the lists may point into, outlives the stream.
struct RowStream {
    RowStream(const ListAnswers& a, Format f, Clock::time_point d)
        : answers(a), format(f), deadline(d) {}

    RequestLists lists;
    ListAnswers answers;
    std::unique_ptr<ListRows> rows;
    Format format;
    Clock::time_point deadline;
    JsonRows json;
    bool started = false;
    bool ended = false;

    bool Next(std::string& piece) {
        if (ended) return false;
        if (!started) {
            started = true;
            if (format == Format::Csv) {
                piece += tables::kUtf8Bom;
                tables::AppendCsvLine(piece, tables::kResultHeaders);
            }
        }
        bool more = true;
        while (more && piece.size() < kPieceBytes) {
            if (Clock::now() > deadline) {
                // A table cut short must not pass for the whole: the connection ends without
                // its last chunk. JSON lines say why on a line of their own.
                if (format != Format::Jsonl) throw std::runtime_error("past the time limit");
                piece +=
                    "{\"error\":\"查询超过服务规定的时间，结果不完整，请把清单分成几份查询。\"}\n";
                ended = true;
                return true;
            }
            more = rows->Next(kRowsPerStep, [this, &piece](const ListRow& row) {
                if (format == Format::Jsonl) {
                    json.Append(piece, row);
                } else if (row.number) {
                    tables::AppendCsvLine(piece, ResultCellsOf(row.number.Digits(), FieldsOf(row)));
                }
            });
        }
        ended = !more;
        return true;
    }
};

}  // namespace

bool HasQueryParameter(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        std::string_view name = query.substr(0, amp);
        name = name.substr(0, name.find('='));
        std::string decoded;
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '%' && i + 2 < name.size()) {
                decoded += static_cast<char>(
                    std::strtol(std::string(name.substr(i + 1, 2)).c_str(), nullptr, 16));
                i += 2;
            } else {
                decoded += name[i] == '+' ? ' ' : name[i];
            }
        }
        if (decoded == key) return true;
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return false;
}

bool WebApi::Handle(const HttpRequest& req, HttpResponse& res) const {
    const auto [path, query] = SplitTarget(req.target);
    const bool get = req.method == "GET" || req.method == "HEAD";
    std::optional<web::WebAssetFile> asset;
    if (path == kAttributePath) {
        GuardHeaders(res);
        if (req.method != "POST") {
            res.SetHeader("Allow", "POST");
            SendError(res, 405, "只接受 POST 请求。");
            return true;
        }
        Attribute(req, res);
        return true;
    }
    if (path == kHealthPath) {
        GuardHeaders(res);
        if (!get) {
            res.SetHeader("Allow", "GET, HEAD");
            SendError(res, 405, "只接受 GET 请求。");
            return true;
        }
        SendJson(res, 200, HealthJson());
        return true;
    }
    // "/?m=…" is the window's query, answered as it always was.
    if (path == "/" && HasQueryParameter(query, "m")) return false;
    asset = web::WebAsset(path);
    if (!asset || !get) return false;
    GuardHeaders(res);
    res.SetHeader("Content-Type", std::string(asset->content_type));
    res.SetHeader("Cache-Control", "no-cache");
    res.body = std::string(asset->bytes);
    return true;
}

std::string WebApi::HealthJson() const {
    std::string json = "{\"status\":\"ok\",\"version\":";
    tables::AppendJsonString(json, options_.version);
    json += ",\"data\":{\"builtin\":";
    json += options_.builtin_data ? "true" : "false";
    json += ",\"file\":";
    if (options_.data_file_name.empty()) {
        json += "null";
    } else {
        tables::AppendJsonString(json, options_.data_file_name);
    }
    json += ",\"file_version\":";
    if (options_.data_file_name.empty()) {
        json += "null";
    } else {
        tables::AppendJsonString(json, options_.data_version);
    }
    json += ",\"upstream\":";
    json += options_.upstream ? "true" : "false";
    json += "},\"limits\":{\"max_upload_bytes\":" + std::to_string(options_.max_upload);
    json += ",\"max_lines\":" + std::to_string(options_.max_lines);
    json += ",\"max_seconds\":" + std::to_string(options_.max_time.count() / 1000) + "}}";
    return json;
}

void WebApi::Attribute(const HttpRequest& req, HttpResponse& res) const {
    // Browsers mark every request a page makes; only the page's own may send lists. Scripts,
    // which send no mark, are answered. An Origin of another site was refused before.
    const std::string_view site = req.Header("Sec-Fetch-Site");
    if (!site.empty() && !EqualNoCase(site, "same-origin")) {
        SendError(res, 403, "只接受本服务自己页面发出的查询。");
        return;
    }
    const std::optional<Format> format = ChooseFormat(req);
    if (!format) {
        SendError(res, 400, "不认识的格式：format 只能是 jsonl、csv 或 xlsx。");
        return;
    }

    const Clock::time_point deadline = std::min(req.deadline, Clock::now() + options_.max_time);
    auto stream = std::make_shared<RowStream>(ListAnswers(local_, online_), *format, deadline);
    ListBounds bounds;
    bounds.max_lines = options_.max_lines;
    bounds.deadline = deadline;
    constexpr std::string_view kMultipart = "multipart/form-data";
    if (EqualNoCase(req.Header("Content-Type").substr(0, kMultipart.size()), kMultipart)) {
        bool any = false;
        for (const FormPart& part : req.parts) {
            if (part.name != "file") continue;
            any = true;
            const std::string name = part.filename.empty() ? "上传的文件" : part.filename;
            if (const auto refusal = AddListFile(part.data, name, bounds, stream->lists)) {
                SendError(res, refusal->status, refusal->message);
                return;
            }
        }
        if (!any) {
            SendError(res, 400, "表单里没有名为 file 的文件。");
            return;
        }
    } else if (const auto refusal = AddListFile(req.body, "清单", bounds, stream->lists)) {
        SendError(res, refusal->status, refusal->message);
        return;
    }
    stream->rows = std::make_unique<ListRows>(stream->lists, stream->answers);

    if (*format == Format::Xlsx) {
        struct Found {
            attribution::Number number;
            const Record* record;
        };
        std::vector<Found> found;
        while (stream->rows->Next(kRowsPerStep, [&found](const ListRow& row) {
            if (row.number) found.push_back({row.number, row.record});
        })) {
        }
        const std::filesystem::path folder = MemoryFolder();
        if (folder.empty()) {
            SendError(res, 503,
                      "这台机器没有内存文件系统（/dev/shm），服务不在磁盘上生成 Excel 文件。");
            return;
        }
        static const Record kNone;
        tables::Table table{{tables::kResultHeaders.begin(), tables::kResultHeaders.end()},
                            found.size(),
                            [&found](std::size_t r, std::vector<std::string_view>& cells) {
                                const Found& f = found[r];
                                const auto row = ResultCellsOf(
                                    f.number.Digits(), f.record != nullptr ? *f.record : kNone);
                                cells.assign(row.begin(), row.end());
                            }};
        std::string why;
        std::optional<std::string> book =
            tables::XlsxWorkbook(table, &why, tables::kXlsxRowsPerSheet, folder);
        if (!book) {
            SendError(res, 500, why);
            return;
        }
        SetDownload(res, kXlsxType, "xlsx");
        res.body = std::move(*book);
        return;
    }
    if (*format == Format::Csv)
        SetDownload(res, kCsvType, "csv");
    else
        res.SetHeader("Content-Type", std::string(kJsonLinesType));
    res.stream = [stream](std::string& piece) { return stream->Next(piece); };
}

}  // namespace numtrail::service
