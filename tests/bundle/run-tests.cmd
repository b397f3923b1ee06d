@echo off
rem Runs every test program named in this folder's test-programs.txt (one "NAME CASES" a line,
rem written when the bundle was packaged), one after the other, and ends with the line
rem "N passed, N failed", counted as the Linux test command counts: each test case of each
rem program is one. A program that ends without its summary, or fails although every case
rem passed, counts one failure more; so do a listed program that is missing, one that runs fewer
rem cases than listed, a missing list, and a run in which no case ran at all: a bundle that
rem tests nothing must not pass. Each program's output goes to logs\NAME.log.
rem
rem   run-tests.cmd        in a command prompt, from any folder; exit code 1 when a case failed
setlocal EnableExtensions
cd /d "%~dp0"
if not exist logs mkdir logs
set passed=0
set failed=0
set ran=0
rem No if-else block around the loop: Wine's cmd runs the else part of one as a command.
if exist test-programs.txt for /f "usebackq tokens=1,2" %%a in ("test-programs.txt") do call :listed %%a %%b
if not exist test-programs.txt echo FAIL  test-programs.txt: the list of test programs is missing
if not exist test-programs.txt set /a failed+=1
if %ran%==0 (
  echo FAIL  no test case ran
  set /a failed+=1
)
echo %passed% passed, %failed% failed
if %failed% neq 0 exit /b 1
exit /b 0

:listed
if exist "%~1.exe" goto run
echo FAIL  %~1  missing: listed with %~2 cases
set /a failed+=1
exit /b 0

:run
set p=0
set f=0
set n=0
set summary=
set short=
call :start "%~1"
rem A program that printed nothing of GoogleTest's did not start at all (it happens under Wine
rem now and then): that is no test result, so it gets one more start, as scripts/test gives it.
find "[==========]" <"logs\%~1.log" >nul
if errorlevel 1 call :start "%~1"
rem GoogleTest's closing lines: "[  PASSED  ] N tests." and, after failures,
rem "[  FAILED  ] N tests, listed below:"; its summary line "[==========] N tests from M test
rem suites ran. (T ms total)" says how many cases ran.
for /f "tokens=4" %%n in ('find "[  PASSED  ]" ^< "logs\%~1.log"') do set p=%%n
for /f "tokens=4,5" %%n in ('find "[  FAILED  ]" ^< "logs\%~1.log"') do (
  if "%%o"=="tests," set f=%%n
  if "%%o"=="test," set f=%%n
)
for /f "tokens=2" %%n in ('find " ran. (" ^< "logs\%~1.log"') do set n=%%n
find " ran. (" <"logs\%~1.log" >nul
if not errorlevel 1 set summary=1
if not defined summary set /a f+=1
if %rc% neq 0 if %f%==0 set f=1
if %n% lss %~2 set /a f+=1
if %n% lss %~2 set short=, ran %n% of the %~2 cases listed
set /a passed+=p, failed+=f, ran+=n
if %f%==0 (echo ok    %~1  %p% passed) else (echo FAIL  %~1  %p% passed, %f% failed%short%: see logs\%~1.log)
exit /b 0

:start
"%~1.exe" --gtest_color=no >"logs\%~1.log" 2>&1
set rc=%errorlevel%
exit /b 0
