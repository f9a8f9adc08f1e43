// bars.cc: see bars.h.

#include "tools/zarq/bars.h"

#include "tools/zarq/database.h"
#include "tools/zarq/values.h"

namespace zarq_cli {
namespace {

bool Has(const ZarqSecurityInfo& info, uint16_t field) { return (info.FieldMask & field) != 0; }

}  // namespace

std::vector<Table::Column> BarColumns(const ZarqSecurityInfo& info) {
  std::vector<Table::Column> columns = {{"Date", false}};
  if (Intraday(info)) columns.push_back({"Time", false});
  if (Has(info, ZARQ_FIELD_OPEN)) columns.push_back({"Open", true});
  if (Has(info, ZARQ_FIELD_HIGH)) columns.push_back({"High", true});
  if (Has(info, ZARQ_FIELD_LOW)) columns.push_back({"Low", true});
  columns.push_back({"Close", true});
  columns.push_back({"Volume", true});
  if (Has(info, ZARQ_FIELD_OI)) columns.push_back({"OpenInt", true});
  return columns;
}

std::vector<std::string> BarRow(const ZarqSecurityInfo& info, const ZarqPriceRecord& record) {
  std::vector<std::string> row = {DateText(record.Date)};
  if (Intraday(info)) row.push_back(TimeText(record.Time));
  if (Has(info, ZARQ_FIELD_OPEN)) row.push_back(NumberText(record.Open));
  if (Has(info, ZARQ_FIELD_HIGH)) row.push_back(NumberText(record.High));
  if (Has(info, ZARQ_FIELD_LOW)) row.push_back(NumberText(record.Low));
  row.push_back(NumberText(record.Close));
  row.push_back(NumberText(record.Volume));
  if (Has(info, ZARQ_FIELD_OI)) row.push_back(NumberText(record.OpenInterest));
  return row;
}

}  // namespace zarq_cli
