;;; eglot.el --- Emacs 28 with Debian's eglot against orven-cli lsp, run by eglot.sh -*- lexical-binding: t -*-
;; A PHP file and a C++ file get their diagnostics (through Flymake) where the advice's
;; keywords stand, with Cyrillic before them on their lines; an edit moves one and removes
;; another; the code action's edit silences a rule; shutting the server down ends it with
;; status 0.
(require 'eglot)
(require 'cl-lib)

(defvar orven-cli (getenv "ORVEN_CLI"))
(defvar orven-work (getenv "ORVEN_WORK"))
;; Emacs has no PHP mode of its own: the server knows a document's language by its name.
(setq eglot-server-programs `(((fundamental-mode c++-mode) . (,orven-cli "lsp"))))

(defun orven-fail (format-string &rest args)
  (princ (concat "FAIL: " (apply #'format format-string args) "\n") #'external-debugging-output)
  (kill-emacs 1))

(defun orven-wait-for (what condition)
  (let ((deadline (+ (float-time) 15)))
    (while (and (not (funcall condition)) (< (float-time) deadline))
      (accept-process-output nil 0.05))
    (unless (funcall condition) (orven-fail "%s" what))))

(defun orven-changed ()
  "What eglot's idle timer does, which never fires in batch mode: send the changes now."
  (eglot--signal-textDocument/didChange))

(defun orven-find (code)
  "The Flymake diagnostic of rule CODE in this buffer, or nil."
  (cl-find-if (lambda (d) (string-match-p (format "\\[%s\\]" code) (flymake-diagnostic-text d)))
              (flymake-diagnostics)))

(defun orven-place (diagnostic)
  "Line (from 1) and column (characters, from 0) of DIAGNOSTIC's start."
  (save-excursion
    (goto-char (flymake-diagnostic-beg diagnostic))
    (list (line-number-at-pos) (current-column))))

(defun orven-open (name lines)
  (with-temp-file (expand-file-name name orven-work)
    (insert (mapconcat #'identity lines "\n") "\n"))
  (find-file (expand-file-name name orven-work))
  (unless (derived-mode-p 'c++-mode) (fundamental-mode))
  ;; The first file starts the server; the next is taken into its care as it opens.
  (unless (eglot-current-server) (apply #'eglot (eglot--guess-contact)))
  (unless (eglot-managed-p) (orven-fail "%s is not managed by the server" name))
  ;; Flymake waits for a command loop that batch mode has not: it asks its backends now.
  (flymake-start)
  (current-buffer))

;; PHP: "$я = " is five characters before mysql_query.
(orven-open "page.php" '("<?php" "// Привет" "$я = mysql_query($q);" "$b = 1;"))
(orven-wait-for "no W03 in the PHP file" (lambda () (orven-find "W03")))
(unless (equal (orven-place (orven-find "W03")) '(3 5))
  (orven-fail "W03 at %S" (orven-place (orven-find "W03"))))
(goto-char (point-min))
(forward-line 2)
(insert "  ")
(orven-changed)
(orven-wait-for "W03 did not move with the edit"
                (lambda () (equal (and (orven-find "W03") (orven-place (orven-find "W03"))) '(3 7))))
(delete-region (line-beginning-position) (1+ (line-end-position)))
(orven-changed)
(orven-wait-for "W03 did not go with its line" (lambda () (null (orven-find "W03"))))

;; C++: MessageBox after Cyrillic in a string on the same line.
(orven-open "main.cpp" '("#include <windows.h>"
                         "int f() { const char* s = \"я\"; MessageBox(0, s, 0, 0); return 0; }"))
(orven-wait-for "no C06 in the C++ file" (lambda () (orven-find "C06")))
(unless (equal (orven-place (orven-find "C06")) '(2 31))
  (orven-fail "C06 at %S" (orven-place (orven-find "C06"))))
(goto-char (flymake-diagnostic-beg (orven-find "C06")))
(let* ((actions (eglot-code-actions (point) (point) "quickfix"))
       (action (cl-find-if (lambda (a) (string-match-p "C06" (plist-get a :title))) actions)))
  (unless action (orven-fail "no code action for C06: %S" actions))
  (eglot--apply-workspace-edit (plist-get action :edit))
  (orven-changed))
(unless (string-match-p "// orven-disable-line C06"
                        (buffer-substring (line-beginning-position) (line-end-position)))
  (orven-fail "the edit gave: %s" (buffer-substring (line-beginning-position) (line-end-position))))
(orven-wait-for "C06 still there after the marker" (lambda () (null (orven-find "C06"))))

;; eglot-shutdown sends shutdown and exit, then at once kills the process (Emacs 28's
;; jsonrpc-shutdown does not wait): the two messages go through eglot's connection here,
;; and the server ends by itself.
(let* ((server (eglot-current-server))
       (process (jsonrpc--process server)))
  (setf (eglot--shutdown-requested server) t)
  (jsonrpc-request server :shutdown nil :timeout 10)
  (jsonrpc-notify server :exit nil)
  (orven-wait-for "the server did not end" (lambda () (memq (process-status process) '(exit signal))))
  (unless (and (eq (process-status process) 'exit) (= (process-exit-status process) 0))
    (orven-fail "the server ended with %S %S" (process-status process) (process-exit-status process))))
(kill-emacs 0)
