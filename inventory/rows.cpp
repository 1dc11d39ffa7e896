// A computer's rows, handed to the ordered writer.
#include "inventory/rows.h"

namespace qv::inventory {

namespace {
void putRow(TargetContext& ctx, OutputItem::Kind kind, const std::string& table, const Fields& fields) {
    ctx.output.put({kind, table, fields, ctx.targetDomain});
}
}  // namespace

void appendRow(TargetContext& ctx, const std::string& table, const Fields& fields) {
    putRow(ctx, OutputItem::Kind::Row, table, fields);
}
void appendEmptyRow(TargetContext& ctx, const std::string& table) { putRow(ctx, OutputItem::Kind::EmptyRow, table, {}); }
void appendMasterRows(TargetContext& ctx, const Fields& deviceIdFields) {
    putRow(ctx, OutputItem::Kind::MasterRows, "", deviceIdFields);
}
void endInventory(TargetContext& ctx) { ctx.output.put({OutputItem::Kind::Commit, {}, {}, {}}); }

}  // namespace qv::inventory
