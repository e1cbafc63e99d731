// The query loop over GoldMine's data-set entry points, and the two readers
// built on it: a single value and an in-memory table.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "goldmine/mem_table.h"

namespace pelmora {

// What the query loop needs of the API library.
class IQuerySource {
 public:
  virtual ~IQuerySource() = default;
  virtual int Query(const std::string& sql, char fieldDelimiter, char recordDelimiter) = 0;
  // Buffer size in bytes the next fetch needs.
  virtual int FetchSize(int handle) = 0;
  // > 0: buffer holds the zero-terminated result text.
  virtual int Fetch(int handle, char* buffer, int size) = 0;
  virtual void Close(int handle) = 0;
};

// Runs the query and hands every field after each batch's status field to
// onField, in order. Ends when a batch's status does not begin with "0", or
// when a fetch fails (a failing server must not keep the loop going).
void RunQuery(IQuerySource& source, const std::string& sql,
              const std::function<void(std::string&)>& onFields);

// The last field of the result; value is left alone when there is none.
void QueryValue(IQuerySource& source, const std::string& sql, std::string& value);

// A new table with one column per name; its current row is the last one.
std::shared_ptr<MemTable> QueryTable(IQuerySource& source, const std::string& sql,
                                     const std::vector<std::string>& columnNames);

}  // namespace pelmora
