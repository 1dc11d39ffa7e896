// The per-computer context's own output: debug traces.
#include "core/target_context.h"

namespace qv {

void debugTrace(TargetContext& ctx, const std::string& text) { ctx.output.put({OutputItem::Kind::Trace, text, {}, {}}); }

}  // namespace qv
