-- Neovim's own client (0.7, vim.lsp.start_client) against orven-cli lsp, run headless by
-- nvim.sh: a PHP file and a C++ file get their diagnostics where the advice's keywords
-- stand (Neovim converts the server's UTF-16 columns to bytes, so Cyrillic before a keyword
-- tests both ends), an edit moves one and removes another, the code action's edit silences
-- a rule, and stopping the client ends the server with status 0.
local cli = os.getenv("ORVEN_CLI")
local work = os.getenv("ORVEN_WORK")

local function fail(message)
  io.stderr:write("FAIL: " .. message .. "\n")
  vim.cmd("cquit 1")
end

local function wait_for(what, condition)
  if not vim.wait(15000, condition, 20) then
    fail(what)
  end
end

local function write(name, lines)
  local file = io.open(work .. "/" .. name, "w")
  file:write(table.concat(lines, "\n") .. "\n")
  file:close()
  return work .. "/" .. name
end

local function find(buffer, code)
  for _, d in ipairs(vim.diagnostic.get(buffer)) do
    if d.code == code then
      return d
    end
  end
end

local exit_code
local client_id = vim.lsp.start_client({
  name = "orven",
  cmd = { cli, "lsp" },
  root_dir = work,
  on_exit = function(code)
    exit_code = code
  end,
})
if not client_id then
  fail("the client did not start")
end

local function open(path)
  vim.cmd("edit " .. vim.fn.fnameescape(path))
  local buffer = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(buffer, client_id)
  return buffer
end

-- PHP: "$я = " is 6 bytes before mysql_query (5 UTF-16 units).
local php = open(write("page.php", { "<?php", "// Привет", "$я = mysql_query($q);", "$b = 1;" }))
wait_for("no W03 in the PHP file", function()
  return find(php, "W03") ~= nil
end)
local d = find(php, "W03")
if d.lnum ~= 2 or d.col ~= 6 or d.end_col ~= 17 or d.source ~= "orven"
    or d.severity ~= vim.diagnostic.severity.INFO then
  fail(string.format("W03 at %d:%d-%d from %s, severity %d", d.lnum, d.col, d.end_col,
    tostring(d.source), d.severity))
end
-- Two blanks before it: the diagnostic moves two bytes on.
vim.api.nvim_buf_set_text(php, 2, 0, 2, 0, { "  " })
wait_for("W03 did not move with the edit", function()
  local moved = find(php, "W03")
  return moved ~= nil and moved.lnum == 2 and moved.col == 8
end)
-- The line goes: so does the diagnostic.
vim.api.nvim_buf_set_lines(php, 2, 3, false, {})
wait_for("W03 did not go with its line", function()
  return find(php, "W03") == nil
end)

-- C++: MessageBox after Cyrillic in a string on the same line.
local cpp = open(write("main.cpp", {
  "#include <windows.h>",
  "int f() { const char* s = \"я\"; MessageBox(0, s, 0, 0); return 0; }",
}))
wait_for("no C06 in the C++ file", function()
  return find(cpp, "C06") ~= nil
end)
d = find(cpp, "C06")
if d.lnum ~= 1 or d.col ~= 32 then
  fail(string.format("C06 at %d:%d", d.lnum, d.col))
end
-- The code action's edit, applied as Neovim applies a workspace edit, silences C06 there.
local client = vim.lsp.get_client_by_id(client_id)
local result = client.request_sync("textDocument/codeAction", {
  textDocument = { uri = vim.uri_from_bufnr(cpp) },
  range = { start = { line = 1, character = 35 }, ["end"] = { line = 1, character = 35 } },
  context = { diagnostics = vim.lsp.diagnostic.get_line_diagnostics(cpp, 1) },
}, 10000, cpp)
local edit
for _, action in ipairs(result and result.result or {}) do
  if action.title:find("C06", 1, true) then
    edit = action.edit
  end
end
if not edit then
  fail("no code action for C06")
end
vim.lsp.util.apply_workspace_edit(edit, client.offset_encoding)
local line = vim.api.nvim_buf_get_lines(cpp, 1, 2, false)[1]
if not line:find("// orven-disable-line C06", 1, true) then
  fail("the edit gave: " .. line)
end
wait_for("C06 still there after the marker", function()
  return find(cpp, "C06") == nil
end)

vim.lsp.stop_client(client_id)
wait_for("the server did not end", function()
  return exit_code ~= nil
end)
if exit_code ~= 0 then
  fail("the server ended with " .. tostring(exit_code))
end
vim.cmd("qall!")
