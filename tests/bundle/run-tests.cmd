@echo off
rem Runs every test program of this folder on this Windows, one after the other, and ends with
rem the line "N passed, N failed", counted as the Linux test command counts: each test case of
rem each program is one. A program that ends without its summary, or fails although every case
rem passed, counts one failure more. Each program's output goes to logs\NAME.log.
rem
rem   run-tests.cmd        in a command prompt, from any folder; exit code 1 when a case failed
setlocal EnableExtensions
cd /d "%~dp0"
if not exist logs mkdir logs
set passed=0
set failed=0
for %%t in (*_test.exe) do call :run "%%~nt"
echo %passed% passed, %failed% failed
if %failed% neq 0 exit /b 1
exit /b 0

:run
set p=0
set f=0
set summary=
call :start "%~1"
rem A program that printed nothing of GoogleTest's did not start at all (it happens under Wine
rem now and then): that is no test result, so it gets one more start, as scripts/test gives it.
find "[==========]" <"logs\%~1.log" >nul
if errorlevel 1 call :start "%~1"
rem GoogleTest's closing lines: "[  PASSED  ] N tests." and, after failures,
rem "[  FAILED  ] N tests, listed below:"; its summary line ends "ran. (T ms total)".
for /f "tokens=4" %%n in ('find "[  PASSED  ]" ^< "logs\%~1.log"') do set p=%%n
for /f "tokens=4,5" %%n in ('find "[  FAILED  ]" ^< "logs\%~1.log"') do (
  if "%%o"=="tests," set f=%%n
  if "%%o"=="test," set f=%%n
)
find " ran. (" <"logs\%~1.log" >nul
if not errorlevel 1 set summary=1
if not defined summary set /a f+=1
if %rc% neq 0 if %f%==0 set f=1
set /a passed+=p, failed+=f
if %f%==0 (echo ok    %~1  %p% passed) else (echo FAIL  %~1  %p% passed, %f% failed: see logs\%~1.log)
exit /b 0

:start
"%~1.exe" --gtest_color=no >"logs\%~1.log" 2>&1
set rc=%errorlevel%
exit /b 0
