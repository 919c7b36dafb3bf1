#include "mixed_lists.h"

#include <array>
#include <initializer_list>

#include "attribution/cities.h"
#include "random.h"

namespace numtrail::bench {
namespace {

// Chooses among weighted branches: `in(weight)` is true for one of them.
class Weights {
  public:
    Weights(Random& random, unsigned total) : pick_(random.Below(total)) {}
    bool In(unsigned weight) {
        if (pick_ < weight) return true;
        pick_ -= weight;
        return false;
    }

  private:
    unsigned pick_;
};

constexpr std::array<unsigned, 47> kSegments = {
    130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 145, 147, 150, 151, 152, 153,
    155, 156, 157, 158, 159, 162, 165, 166, 167, 170, 171, 172, 173, 175, 176, 177,
    178, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 191, 193, 198, 199};

constexpr std::array<std::string_view, 20> kSurnames = {"王", "李", "张", "刘", "陈", "杨",  "黄",
                                                        "赵", "吴", "周", "徐", "孙", "马",  "朱",
                                                        "胡", "郭", "何", "高", "林", "欧阳"};
constexpr std::array<std::string_view, 16> kGivenNames = {"伟", "芳", "娜", "秀英", "敏", "静",
                                                          "丽", "强", "磊", "军",   "洋", "勇",
                                                          "艳", "杰", "娟", "涛"};
constexpr std::array<std::string_view, 8> kCompanies = {"北京某某科技有限公司",
                                                        "上海某某贸易有限公司",
                                                        "深圳市某某电子厂",
                                                        "某某物流",
                                                        "某某装饰工程部",
                                                        "个体",
                                                        "Acme Ltd.",
                                                        "某某中学"};

std::string Name(Random& r) {
    return std::string(r.Pick(kSurnames)) + std::string(r.Pick(kGivenNames));
}

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

struct Written {
    std::string text;
    std::string digits;  // national
};

std::string Grouped(std::string_view d, std::initializer_list<std::size_t> sizes,
                    std::string_view gap) {
    std::string out;
    for (const std::size_t size : sizes) {
        if (!out.empty()) out += gap;
        out += d.substr(0, size);
        d.remove_prefix(size);
    }
    if (!d.empty()) out.append(gap).append(d);
    return out;
}

std::string FullWidth(std::string_view digits) {
    std::string out;
    for (const char c : digits) {
        out += "\xEF\xBC";
        out += static_cast<char>(0x90 + (c - '0'));
    }
    return out;
}

Written Mobile(Random& r) {
    std::string n = std::to_string(r.Pick(kSegments)) + r.Digits(8);
    Weights w(r, 110);
    std::string text;
    if (w.In(40))
        text = n;
    else if (w.In(12))
        text = Grouped(n, {3, 4}, " ");
    else if (w.In(10))
        text = Grouped(n, {3, 4}, "-");
    else if (w.In(5))
        text = "+86 " + Grouped(n, {3, 4}, " ");
    else if (w.In(6))
        text = "+86" + n;
    else if (w.In(3))
        text = "+86-" + Grouped(n, {3, 4}, "-");
    else if (w.In(3))
        text = (r.OneIn(2) ? "86" : "86 ") + n;
    else if (w.In(2))
        text = "0086 " + n;
    else if (w.In(2))
        text = "(+86) " + n;
    else if (w.In(3))
        text = FullWidth(n);
    else if (w.In(4))
        text = n + "\u200B";
    else if (w.In(2))
        text = "0" + n;
    else if (w.In(2))
        text = Grouped(n, {3, 4}, ".");
    else if (w.In(2))
        text = Grouped(n, {3, 4}, " - ");
    else if (w.In(2))
        text = Grouped(n, {3, 4}, "\u2014");
    else if (w.In(2))
        text = Grouped(n, {4, 3}, "-");
    else if (w.In(2))
        text = Grouped(n, {3, 4}, "\u3000");
    else if (w.In(2))
        text = "+86 " + Grouped(n, {3, 4}, "-");
    else if (w.In(1))
        text = "(86)" + n;
    else if (w.In(1))
        text = FullWidth(n.substr(0, 3)) + " " + FullWidth(n.substr(3, 4)) + " " +
               FullWidth(n.substr(7));
    else
        text = "\u200B" + Grouped(n, {3, 4}, " ") + "\u200B";
    return {text, n};
}

Written Landline(Random& r) {
    const auto& cities = attribution::CityTable::BuiltIn().Cities();
    const std::string& area = cities[r.Below(static_cast<unsigned>(cities.size()))].area_code;
    const int size = area.size() == 3 || r.OneIn(2) ? 8 : 7;
    const std::string local = std::to_string(r.Between(2, 8)) + r.Digits(size - 1);
    Weights w(r, 100);
    std::string text;
    if (w.In(40))
        text = area + "-" + local;
    else if (w.In(15))
        text = "(" + area + ")" + local;
    else if (w.In(15))
        text = area + " " + Grouped(local, {static_cast<std::size_t>(size - 4)}, " ");
    else if (w.In(10))
        text = area + local;
    else if (w.In(10))
        text = "+86 " + area.substr(1) + " " +
               Grouped(local, {static_cast<std::size_t>(size - 4)}, " ");
    else
        text = area + "-" + Grouped(local, {static_cast<std::size_t>(size - 4)}, "-");
    return {text, area + local};
}

Written Service(Random& r) {
    const std::string n = (r.OneIn(3) ? "800" : "400") + r.Digits(7);
    Weights w(r, 100);
    if (w.In(50)) return {Grouped(n, {3, 3}, "-"), n};
    if (w.In(30)) return {n, n};
    return {Grouped(n, {3, 3}, " "), n};
}

std::string IdCard(Random& r) {
    static constexpr std::array<std::string_view, 6> kRegions = {"110105", "440305", "310104",
                                                                 "510107", "320402", "420106"};
    std::string id = std::string(r.Pick(kRegions)) + std::to_string(r.Between(1950, 2005)) +
                     Two(r.Between(1, 12)) + Two(r.Between(1, 28)) + r.Digits(3);
    id += r.OneIn(11) ? "X" : r.Digits(1);
    return id;
}

std::string BankCard(Random& r) {
    std::string card = r.OneIn(4) ? (r.OneIn(2) ? "4" : "5") + r.Digits(15)
                                  : "62" + r.Digits(r.OneIn(2) ? 14 : 17);
    if (r.OneIn(3)) {
        std::string grouped;
        for (std::size_t i = 0; i < card.size(); i += 4) {
            if (!grouped.empty()) grouped += r.OneIn(4) ? "-" : " ";
            grouped += card.substr(i, 4);
        }
        return grouped;
    }
    return card;
}

std::string Date(Random& r) {
    const std::string y = std::to_string(r.Between(2015, 2026));
    const int m = r.Between(1, 12), d = r.Between(1, 28);
    Weights w(r, 100);
    if (w.In(40)) return y + "-" + Two(m) + "-" + Two(d);
    if (w.In(15)) return y + "/" + std::to_string(m) + "/" + std::to_string(d);
    if (w.In(10)) return y + "." + Two(m) + "." + Two(d);
    if (w.In(15)) return y + "年" + std::to_string(m) + "月" + std::to_string(d) + "日";
    if (w.In(10)) return y + Two(m) + Two(d);
    return std::to_string(m) + "月" + std::to_string(d) + "日";
}

std::string Time(Random& r) {
    std::string t = Two(r.Between(0, 23)) + ":" + Two(r.Between(0, 59));
    if (r.OneIn(2)) t += ":" + Two(r.Between(0, 59));
    return t;
}

std::string DateTime(Random& r) { return r.OneIn(3) ? Date(r) : Date(r) + " " + Time(r); }

std::string OrderNumber(Random& r) {
    // A date and a serial; some shops put the buyer's phone number in the serial.
    std::string order =
        std::to_string(r.Between(2020, 2026)) + Two(r.Between(1, 12)) + Two(r.Between(1, 28));
    order += r.OneIn(3) ? Mobile(r).digits : r.Digits(r.Between(10, 12));
    return order;
}

std::string Thousands(std::string_view digits) {
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string Amount(Random& r) {
    const std::string whole = std::to_string(r.Between(1, 99999999));
    const std::string cents = "." + r.Digits(2);
    Weights w(r, 100);
    if (w.In(30)) return "¥" + Thousands(whole) + cents;
    if (w.In(25)) return Thousands(whole) + cents;
    if (w.In(20)) return whole + cents + "元";
    if (w.In(15)) return "￥ " + whole + ".00";
    return whole + "元";
}

// How a spreadsheet shows a long number it stored as a number: its digits are lost.
std::string Float(Random& r) {
    const std::string n = Mobile(r).digits;
    std::string mantissa = n.substr(0, 1) + "." + n.substr(1, r.Between(2, 5));
    while (mantissa.back() == '0') mantissa.pop_back();
    return mantissa + "E+10";
}

class Lines {
  public:
    Lines(std::uint64_t seed) : r_(seed) {}

    std::vector<TruthLine> Make(ListSource source, std::size_t count) {
        while (lines_.size() < count) {
            switch (source) {
                case ListSource::ContactsCsv:
                    ContactsCsv();
                    break;
                case ListSource::ContactsVcard:
                    Vcard();
                    break;
                case ListSource::ChatCopy:
                    Chat();
                    break;
                case ListSource::SpreadsheetColumn:
                    Sheet();
                    break;
                case ListSource::RunningText:
                    Text();
                    break;
            }
        }
        lines_.resize(count);
        return std::move(lines_);
    }

  private:
    // The line being written: text and what it holds.
    void Put(std::string_view text) { line_.text += text; }
    void Put(const Written& number) {
        line_.text += number.text;
        line_.numbers.push_back(number.digits);
    }
    void Put(unsigned decoy, const std::string& text) {
        line_.text += text;
        line_.decoys |= decoy;
    }
    void End() { lines_.push_back(std::move(line_)), line_ = {}; }

    void ContactsCsv() {
        if (lines_.empty()) Put("姓名,手机,电话,邮箱,单位,生日,备注"), End();
        const bool quoted = r_.OneIn(4);
        const auto field = [&](auto&& write) {
            Put(quoted ? ",\"" : ",");
            write();
            if (quoted) Put("\"");
        };
        Put(quoted ? "\"" + Name(r_) + "\"" : Name(r_));
        field([&] {
            Weights w(r_, 100);
            if (w.In(88)) {
                Put(Mobile(r_));
            } else if (w.In(7)) {
                static constexpr std::array<std::string_view, 4> kJoins = {"/", " ", " ::: ", "；"};
                Put(Mobile(r_)), Put(r_.Pick(kJoins)), Put(Mobile(r_));
            }
        });
        field([&] {
            if (r_.OneIn(3)) Put(Landline(r_));
        });
        field([&] {
            if (r_.OneIn(3)) Put("user" + std::to_string(r_.Below(1000)) + "@example.com");
        });
        field([&] { Put(r_.Pick(kCompanies)); });
        field([&] {
            if (r_.OneIn(2)) Put(kDate, Date(r_));
        });
        field([&] {
            Weights w(r_, 100);
            if (w.In(5))
                Put("身份证"), Put(kIdCard, IdCard(r_));
            else if (w.In(5))
                Put("卡号"), Put(kBankCard, BankCard(r_));
            else if (w.In(5))
                Put("欠款"), Put(kAmount, Amount(r_));
            else if (w.In(5))
                Put("总机 "), Put(Service(r_));
        });
        End();
    }

    void Vcard() {
        const std::string name = Name(r_);
        Put("BEGIN:VCARD"), End();
        Put("VERSION:3.0"), End();
        Put("N:" + name.substr(0, 3) + ";" + name.substr(3) + ";;;"), End();
        Put("FN:" + name), End();
        const int phones = r_.OneIn(5) ? 2 : 1;
        for (int i = 0; i < phones; ++i) {
            static constexpr std::array<std::string_view, 5> kTypes = {
                "TEL;TYPE=CELL:", "TEL;CELL:", "TEL;TYPE=CELL,VOICE;TYPE=pref:",
                "item1.TEL;type=CELL:", "TEL;VALUE=uri;TYPE=cell:tel:"};
            Put(r_.Pick(kTypes)), Put(Mobile(r_)), End();
        }
        if (r_.OneIn(3)) Put("TEL;TYPE=WORK,VOICE:"), Put(Landline(r_)), End();
        if (r_.OneIn(3)) Put("BDAY:"), Put(kDate, Date(r_)), End();
        if (r_.OneIn(8)) Put("NOTE:身份证 "), Put(kIdCard, IdCard(r_)), End();
        if (r_.OneIn(10)) Put("NOTE:工资卡 "), Put(kBankCard, BankCard(r_)), End();
        Put("END:VCARD"), End();
    }

    void Chat() {
        const std::string name = Name(r_);
        // The header of a message, on a line of its own or before the message.
        if (r_.OneIn(3)) {
            Put(name + " "), Put(kDate, DateTime(r_)), End();
        } else if (r_.OneIn(2)) {
            // A chat program that shows the sender's account number.
            Put(name + "(" + std::to_string(r_.Between(10000, 999999999)) + ") "),
                Put(kDate, Time(r_)), End();
        } else {
            Put("["), Put(kDate, DateTime(r_)), Put("] " + name + ": ");
        }
        Weights w(r_, 108);
        if (w.In(14)) {
            Put("我的手机"), Put(Mobile(r_)), Put("，有事打我");
        } else if (w.In(10)) {
            Put("微信同号"), Put(Mobile(r_));
        } else if (w.In(10)) {
            Put("电话 "), Put(Mobile(r_));
        } else if (w.In(10)) {
            Put(Mobile(r_));
        } else if (w.In(6)) {
            Put("打这个 "), Put(Mobile(r_)), Put(" 或者 "), Put(Mobile(r_)), Put(" 都行");
        } else if (w.In(6)) {
            Put("@" + Name(r_) + " "), Put(Mobile(r_));
        } else if (w.In(5)) {
            Put("座机"), Put(Landline(r_)), Put("，手机"), Put(Mobile(r_));
        } else if (w.In(5)) {
            Put("好的，订单号"), Put(kOrderNumber, OrderNumber(r_));
        } else if (w.In(5)) {
            Put("转你"), Put(kAmount, Amount(r_)), Put("了");
        } else if (w.In(5)) {
            Put(kDate, Date(r_)), Put("见");
        } else if (w.In(5)) {
            Put("身份证号"), Put(kIdCard, IdCard(r_));
        } else if (w.In(5)) {
            Put("发我卡号吧 "), Put(kBankCard, BankCard(r_));
        } else if (w.In(4)) {
            Put("客服"), Put(Service(r_)), Put("打不通");
        } else if (w.In(4)) {
            Put("我电话"), Put(Mobile(r_)), Put("，"), Put(kDate, Date(r_)), Put("下午3点到");
        } else if (w.In(4)) {
            Put(kAmount, Amount(r_)), Put("已收到，有问题打"), Put(Mobile(r_));
        } else {
            Put("收到");
        }
        End();
    }

    void Sheet() {
        if (lines_.empty()) Put("序号\t姓名\t手机\t身份证号\t金额\t日期"), End();
        Put(std::to_string(lines_.size()) + "\t" + Name(r_) + "\t");
        Weights w(r_, 100);
        if (w.In(80)) {
            Put(Mobile(r_));
        } else if (w.In(7)) {
            Put("'"), Put(Mobile(r_));
        } else if (w.In(3)) {
            Put("=\""), Put(Mobile(r_)), Put("\"");
        } else if (w.In(6)) {
            Put(kFloat, Float(r_));
        } else if (w.In(2)) {
            Put(Landline(r_));
        }
        Put("\t");
        if (!r_.OneIn(3)) Put(kIdCard, IdCard(r_));
        Put("\t");
        if (!r_.OneIn(3)) Put(kAmount, Amount(r_));
        Put("\t");
        if (!r_.OneIn(3)) Put(kDate, Date(r_));
        End();
    }

    void Text() {
        const std::string name = Name(r_);
        Weights w(r_, 200);
        if (w.In(10)) {
            Put("联系人：" + name + "，电话："), Put(Mobile(r_)),
                Put("，地址：北京市海淀区中关村大街" + std::to_string(r_.Between(1, 200)) + "号");
        } else if (w.In(10)) {
            Put("请于"), Put(kDate, Date(r_)), Put("前联系" + name + "（"), Put(Mobile(r_)),
                Put("）");
        } else if (w.In(10)) {
            Put("Tel: "), Put(Mobile(r_)), Put(" 转 " + std::to_string(r_.Between(1, 999)));
        } else if (w.In(10)) {
            Put("No." + std::to_string(r_.Between(1, 99)) + " "), Put(Mobile(r_));
        } else if (w.In(10)) {
            Put("【联系人】" + name + " "), Put(Mobile(r_));
        } else if (w.In(10)) {
            Put("如有问题请拨打"), Put(Service(r_)), Put("或致电"), Put(Landline(r_));
        } else if (w.In(10)) {
            Put("身份证号"), Put(kIdCard, IdCard(r_)), Put("的用户，手机号"), Put(Mobile(r_)),
                Put("已登记");
        } else if (w.In(10)) {
            Put("订单"), Put(kOrderNumber, OrderNumber(r_)), Put("已发货，联系电话"),
                Put(Mobile(r_));
        } else if (w.In(10)) {
            Put("您尾号" + r_.Digits(4) + "的银行卡"), Put(kDate, Date(r_)), Put("收入人民币"),
                Put(kAmount, Amount(r_));
        } else if (w.In(10)) {
            Put("退款至卡号"), Put(kBankCard, BankCard(r_)), Put("，客服热线"), Put(Service(r_));
        } else if (w.In(10)) {
            Put(kDate, DateTime(r_)), Put(" " + name + "来电 "), Put(Mobile(r_));
        } else if (w.In(10)) {
            Put("办公室电话"), Put(Landline(r_)), Put("，传真"), Put(Landline(r_));
        } else if (w.In(10)) {
            Put(name + "的手机是"), Put(Mobile(r_)), Put("，微信同号。");
        } else if (w.In(10)) {
            Put("合同金额"), Put(kAmount, Amount(r_)), Put("，签订日期"), Put(kDate, Date(r_)),
                Put("，乙方联系人" + name + " "), Put(Mobile(r_));
        } else if (w.In(10)) {
            Put("<tr><td>" + name + "</td><td>"), Put(Mobile(r_)), Put("</td></tr>");
        } else if (w.In(10)) {
            Put("{\"name\":\"" + name + "\",\"phone\":\""), Put(Mobile(r_)), Put("\",\"id\":\""),
                Put(kIdCard, IdCard(r_)), Put("\"}");
        } else if (w.In(10)) {
            Put("客服电话："), Put(Service(r_)), Put("（工作日9:00-18:00），投诉请拨"),
                Put(Landline(r_)), Put(" 转 " + std::to_string(r_.Between(100, 999)));
        } else if (w.In(10)) {
            Put("身份证号"), Put(kIdCard, IdCard(r_)), Put("，银行卡"),
                Put(kBankCard, BankCard(r_)), Put("，订单"), Put(kOrderNumber, OrderNumber(r_)),
                Put("，金额"), Put(kAmount, Amount(r_)), Put("，时间"), Put(kDate, DateTime(r_));
        } else if (w.In(10)) {
            Put("价格：" + std::to_string(r_.Between(100, 9999)) + "元/月，看房电话 "),
                Put(Mobile(r_)), Put(" " + name);
        } else {
            // Parcel numbers: SF1 and 12 digits, or 7 and 11.
            Put("快递单号"),
                Put(kOrderNumber, r_.OneIn(2) ? "SF1" + r_.Digits(12) : "7" + r_.Digits(11)),
                Put("，收件人" + name + " "), Put(Mobile(r_));
        }
        End();
    }

    Random r_;
    TruthLine line_;
    std::vector<TruthLine> lines_;
};

}  // namespace

std::string_view ListSourceName(ListSource source) {
    switch (source) {
        case ListSource::ContactsCsv:
            return "contacts export (CSV)";
        case ListSource::ContactsVcard:
            return "contacts export (vCard)";
        case ListSource::ChatCopy:
            return "chat copy";
        case ListSource::SpreadsheetColumn:
            return "spreadsheet rows";
        case ListSource::RunningText:
            return "running text";
    }
    return "";
}

std::string_view DecoyName(unsigned decoy) {
    switch (decoy) {
        case kIdCard:
            return "identity cards";
        case kBankCard:
            return "bank cards";
        case kOrderNumber:
            return "order numbers";
        case kDate:
            return "dates and times";
        case kAmount:
            return "amounts";
        case kFloat:
            return "spreadsheet floats";
        default:
            return "";
    }
}

std::vector<TruthLine> MixedList(ListSource source, std::size_t count, std::uint64_t seed) {
    return Lines(seed + static_cast<std::uint64_t>(source)).Make(source, count);
}

}  // namespace numtrail::bench
