#!/usr/bin/env python3
"""A stand-in for numtrail-service's team page and API (docs/web-api.md), for developing the
page and for the browser tests: it serves the page's files from src/service/web and answers
/api/attribute and /api/health as the contract says, from a small made-up table instead of
the real data. Python's standard library only.

    python3 tests/web/stand_in_api.py --port 8361      # then open http://127.0.0.1:8361/
"""

import argparse
import csv
import functools
import io
import json
import re
import sys
import threading
import time
import urllib.parse
import zipfile
from email.parser import BytesParser
from email.policy import HTTP
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from xml.sax.saxutils import escape

WEB_FOLDER = Path(__file__).resolve().parents[2] / "src" / "service" / "web"

COLUMNS = ["line", "number", "province", "city", "area_code", "postcode", "card_type", "status",
           "kind"]
FORMAT_TYPES = {
    "jsonl": "application/x-ndjson; charset=utf-8",
    "csv": "text/csv; charset=utf-8",
    "xlsx": "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
}
GUARD_HEADERS = {
    "Content-Security-Policy": "default-src 'none'; script-src 'self'; style-src 'self'; "
                               "img-src 'self'; connect-src 'self'; base-uri 'none'; "
                               "form-action 'none'; frame-ancestors 'none'",
    "X-Content-Type-Options": "nosniff",
    "Referrer-Policy": "no-referrer",
}

# Made-up answers: enough variety for the page (several provinces, carriers and statuses).
PLACES = [("北京", "北京", "010", "100000"), ("上海", "上海", "021", "200000"),
          ("广东", "广州", "020", "510000"), ("广东", "深圳", "0755", "518000"),
          ("江苏", "南京", "025", "210000"), ("江苏", "常州", "0519", "213000"),
          ("浙江", "杭州", "0571", "310000"), ("四川", "成都", "028", "610000"),
          ("湖北", "武汉", "027", "430000"), ("黑龙江", "哈尔滨", "0451", "150000"),
          ("新疆", "乌鲁木齐", "0991", "830000"), ("内蒙古", "呼和浩特", "0471", "010000"),
          ("西藏", "拉萨", "0891", "850000"), ("重庆", "重庆", "023", "400000"),
          ("云南", "昆明", "0871", "650000"), ("河南", "郑州", "0371", "450000"),
          ("山东", "济南", "0531", "250000")]
AREA_CODES = {place[2]: place for place in PLACES}
CARRIERS = {}
for segments, name in [("134 135 136 137 138 139 147 150 151 152 157 158 159 178 182 183 184 "
                        "187 188 198", "中国移动"),
                       ("130 131 132 145 155 156 166 175 176 185 186", "中国联通"),
                       ("133 149 153 173 177 180 181 189 199", "中国电信"),
                       ("192", "中国广电"), ("170 171", "虚拟运营商")]:
    for segment in segments.split():
        CARRIERS[segment] = name

FILLERS = re.compile(r"[\s\-.()（）\u2010-\u2015\u2212\uff0d\u200b-\u200d\u2060\ufeff]")
MOBILE = re.compile(r"(?<!\d)(?:\+86|0086|86)?(1[3-9]\d{9})(?!\d)")
LANDLINE = re.compile(r"(?<!\d)0\d{9,11}(?!\d)")
SERVICE = re.compile(r"(?<!\d)([48]00\d{7})(?!\d)")


def attribute(line):
    """The row of one line: (number, province, city, area_code, postcode, card_type, status,
    kind)."""
    if len(line) == 11 and line.isdigit() and line[0] == "1" and line[1] in "3456789":
        return (line,) + mobile_answer(line[:7])  # the common case, quickly
    text = FILLERS.sub("", line.translate({0xFF10 + d: 0x30 + d for d in range(10)}))
    found = [(m.start(), "mobile", m.group(1)) for m in [MOBILE.search(text)] if m]
    for m in LANDLINE.finditer(text):
        digits = m.group(0)
        if any(digits[:n] in AREA_CODES and 7 <= len(digits) - n <= 8 and digits[n] not in "01"
               for n in (3, 4)):
            found.append((m.start(), "landline", digits))
            break
    found += [(m.start(), "service", m.group(1)) for m in [SERVICE.search(text)] if m]
    if not found:
        return ("", "", "", "", "", "", "bad-format", "")
    _, kind, number = min(found)
    if kind == "service":
        return (number, "全国", "", "", "", number[:3] + "电话", "ok", kind)
    if kind == "landline":
        code = number[:3] if number[:3] in AREA_CODES else number[:4]
        province, city, area_code, postcode = AREA_CODES[code]
        return (number, province, city, area_code, postcode, "固定电话", "ok", kind)
    return (number,) + mobile_answer(number[:7])


@functools.lru_cache(maxsize=None)
def mobile_answer(prefix):
    carrier = CARRIERS.get(prefix[:3])
    if carrier is None:
        return ("", "", "", "", "", "unassigned", "mobile")
    if int(prefix) % 13 == 0:
        return ("未知", "未知", "", "", carrier, "unknown-place", "mobile")
    province, city, area_code, postcode = PLACES[int(prefix) % len(PLACES)]
    return (province, city, area_code, postcode, carrier, "ok", "mobile")


def list_lines(data):
    """The lines of a list file: its encoding from a byte order mark, else UTF-8, else GBK;
    CR LF, CR or LF; a last line without a line end is a line."""
    for bom, encoding in [(b"\xef\xbb\xbf", "utf-8"), (b"\xff\xfe", "utf-16-le"),
                          (b"\xfe\xff", "utf-16-be")]:
        if data.startswith(bom):
            text = data[len(bom):].decode(encoding, "replace")
            break
    else:
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError:
            text = data.decode("gbk", "replace")
    lines = re.split(r"\r\n|\r|\n", text)
    if lines and lines[-1] == "":
        lines.pop()
    return lines


@functools.lru_cache(maxsize=None)
def json_tail(answer):
    """What follows the number in a row's JSON: the same for every row of an answer."""
    return json.dumps(dict(zip(COLUMNS[2:], answer)), ensure_ascii=False,
                      separators=(",", ":"))[1:] + "\n"


def json_row(line, answer):
    line_text = f'"{line}"' if line.isdigit() else json.dumps(line, ensure_ascii=False)
    return f'{{"line":{line_text},"number":"{answer[0]}",{json_tail(answer[1:])}'


def csv_cell(value):
    # Spreadsheets run a cell that starts like a formula: such a cell is written as text.
    return "'" + value if value[:1] in ("=", "+", "-", "@", "\t", "\r") else value


def csv_bytes(rows):
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\r\n")
    writer.writerow(COLUMNS)
    for line, answer in rows:
        writer.writerow([csv_cell(v) for v in (line,) + answer])
    return out.getvalue().encode("utf-8")


def xlsx_bytes(rows):
    """A workbook of one sheet of text cells with the header row, as small as Excel opens."""
    def cells(r, values):
        out = []
        for c, value in enumerate(values):
            ref = chr(ord("A") + c) + str(r)
            out.append(f'<c r="{ref}" t="inlineStr"><is><t xml:space="preserve">'
                       f'{escape(value)}</t></is></c>')
        return f'<row r="{r}">{"".join(out)}</row>'

    sheet = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
             '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
             '<sheetData>', cells(1, COLUMNS)]
    sheet += [cells(i + 2, (line,) + answer) for i, (line, answer) in enumerate(rows)]
    sheet.append("</sheetData></worksheet>")
    parts = {
        "[Content_Types].xml":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
            'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-'
            'officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/'
            'sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.'
            'worksheet+xml"/></Types>',
        "_rels/.rels":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
            'relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
            'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
            '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
            'relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>',
        "xl/worksheets/sheet1.xml": "".join(sheet),
    }
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            z.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)), text.encode("utf-8"))
    return out.getvalue()


class Refusal(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


class StandIn:
    """The settings and state of one stand-in: its limits, and a gate that can hold a stream
    after its first rows until the test opens it."""

    def __init__(self, max_upload=64 << 20, max_lines=2_000_000, hold_after=None,
                 cut_after=None):
        self.max_upload = max_upload
        self.max_lines = max_lines
        self.hold_after = hold_after
        self.cut_after = cut_after  # rows sent before a stream is cut short, as a time limit does
        self.gate = threading.Event()
        self.requests = []  # (method, path) of each request, for the tests


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "numtrail-stand-in"

    def log_message(self, *args):
        pass  # numbers are personal: nothing about a request is logged

    @property
    def stand_in(self):
        return self.server.stand_in

    def send_guarded(self, status, content_type, body=None, extra=()):
        self.send_response(status)
        for name, value in GUARD_HEADERS.items():
            self.send_header(name, value)
        self.send_header("Content-Type", content_type)
        self.send_header("Cache-Control", "no-store")
        for name, value in extra:
            self.send_header(name, value)
        if body is not None:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body is not None and self.command != "HEAD":
            self.wfile.write(body)

    def refuse(self, status, message):
        body = json.dumps({"error": message}, ensure_ascii=False).encode("utf-8")
        self.send_guarded(status, "application/json; charset=utf-8", body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        self.stand_in.requests.append(("GET", url.path))
        if url.path == "/api/health":
            health = {"status": "ok", "version": "stand-in",
                      "data": {"builtin": True, "file": None, "upstream": False},
                      "limits": {"max_upload_bytes": self.stand_in.max_upload,
                                 "max_lines": self.stand_in.max_lines, "max_seconds": 300}}
            self.send_guarded(200, "application/json; charset=utf-8",
                              json.dumps(health, ensure_ascii=False).encode("utf-8"))
            return
        if url.path == "/api/attribute":
            self.refuse(405, "只接受 POST 查询")
            return
        if url.path == "/_stand_in/release":  # opens a held stream
            self.stand_in.gate.set()
            self.send_guarded(204, "text/plain", b"")
            return
        for path, file, content_type in manifest():
            if url.path == path:
                self.send_guarded(200, content_type, (WEB_FOLDER / file).read_bytes())
                return
        self.refuse(404, "没有这个页面")

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        self.stand_in.requests.append(("POST", url.path))
        if url.path != "/api/attribute":
            self.refuse(404, "没有这个页面")
            return
        try:
            self.check_origin()
            lines = self.read_lines()
        except Refusal as refusal:
            self.refuse(refusal.status, str(refusal))
            self.close_connection = True
            return
        query = urllib.parse.parse_qs(url.query)
        fmt = query.get("format", [""])[0] or self.format_from_accept()
        if fmt not in FORMAT_TYPES:
            self.refuse(400, f"不认识的格式：{fmt}")
            return
        disposition = [("Content-Disposition", f'attachment; filename="numtrail.{fmt}"')]
        # Rows are worked out as they are sent: the first arrive before the last is known.
        rows = ((line, attribute(line)) for line in lines)
        if fmt == "csv":
            self.send_guarded(200, FORMAT_TYPES[fmt], csv_bytes(rows), disposition)
        elif fmt == "xlsx":
            self.send_guarded(200, FORMAT_TYPES[fmt], xlsx_bytes(list(rows)), disposition)
        else:
            self.stream_rows(rows)

    def do_PUT(self):
        self.refuse(405, "只接受 POST 查询")

    do_DELETE = do_PATCH = do_PUT

    def check_origin(self):
        own = f"http://{self.headers.get('Host', '')}"
        origin = self.headers.get("Origin")
        site = self.headers.get("Sec-Fetch-Site", "")
        if (origin is not None and origin != own) or site in ("cross-site", "same-site"):
            raise Refusal(403, "只接受本页面发出的查询")

    def format_from_accept(self):
        accept = self.headers.get("Accept", "")
        for fmt, content_type in FORMAT_TYPES.items():
            if content_type.split(";")[0] in accept:
                return fmt
        return "jsonl"

    def read_lines(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length > self.stand_in.max_upload:
            raise Refusal(413, f"上传的内容超过 {self.stand_in.max_upload} 字节的上限")
        body = self.rfile.read(length)
        content_type = self.headers.get("Content-Type", "")
        if content_type.startswith("multipart/form-data"):
            message = BytesParser(policy=HTTP).parsebytes(
                b"Content-Type: " + content_type.encode("latin-1") + b"\r\n\r\n" + body)
            if not message.is_multipart():
                raise Refusal(400, "无法读取上传的文件")
            lines = []
            for part in message.iter_parts():
                if part.get_param("name", header="content-disposition") != "file":
                    continue
                data = part.get_payload(decode=True) or b""
                if b"\0" in data[:4096] and not data.startswith((b"\xff\xfe", b"\xfe\xff")):
                    name = part.get_filename() or "文件"
                    raise Refusal(415, f"{name} 不是号码清单")
                lines += list_lines(data)
        else:
            lines = list_lines(body)
        if len(lines) > self.stand_in.max_lines:
            raise Refusal(413, f"清单共 {len(lines)} 行，超过每次 {self.stand_in.max_lines} 行的上限")
        return lines

    def stream_rows(self, rows):
        self.send_guarded(200, FORMAT_TYPES["jsonl"], None,
                          [("Transfer-Encoding", "chunked")])
        hold = self.stand_in.hold_after
        pending = []
        size = 0
        for i, (line, answer) in enumerate(rows):
            if i == self.stand_in.cut_after:
                pending.append(json.dumps({"error": f"查询超过时间上限，只回答了前 {i} 行"},
                                          ensure_ascii=False).encode("utf-8") + b"\n")
                break
            text = json_row(line, answer).encode("utf-8")
            pending.append(text)
            size += len(text)
            if size >= 65536 or (hold is not None and i + 1 == hold):
                self.write_chunk(b"".join(pending))
                pending, size = [], 0
            if hold is not None and i + 1 == hold:
                self.stand_in.gate.wait(60)
        if pending:
            self.write_chunk(b"".join(pending))
        self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()

    def write_chunk(self, data):
        self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))
        self.wfile.flush()


def manifest():
    for line in (WEB_FOLDER / "assets.txt").read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            yield tuple(line.split("\t"))


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A browser that leaves a page drops its requests: not a fault of the stand-in's.
        if not isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            super().handle_error(request, client_address)


def start(stand_in, port=0):
    """Starts a stand-in on 127.0.0.1 in a thread of this process; returns the server (its
    base URL is http://127.0.0.1:server.server_port/; shutdown() stops it)."""
    server = Server(("127.0.0.1", port), Handler)
    server.stand_in = stand_in
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--max-upload", type=int, default=64 << 20, help="bytes")
    parser.add_argument("--max-lines", type=int, default=2_000_000)
    args = parser.parse_args()
    server = start(StandIn(args.max_upload, args.max_lines), args.port)
    print(f"stand-in listening on http://127.0.0.1:{server.server_port}/", flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        server.shutdown()


if __name__ == "__main__":
    sys.exit(main())
