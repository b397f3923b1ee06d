#include "runtime/accounting.h"

namespace {
struct Counts {
  int64_t created;
  int64_t deleted;
};
Counts counts[ACCOUNT_KINDS];
}  // namespace

void Account_Created(AccountKind kind) { counts[kind].created++; }
void Account_Deleted(AccountKind kind) { counts[kind].deleted++; }
int64_t Account_Live(AccountKind kind) { return counts[kind].created - counts[kind].deleted; }
int64_t Account_Created_Total(AccountKind kind) { return counts[kind].created; }
