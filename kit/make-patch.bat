@echo off
rem make-patch.bat: a patch from the old and the new game folder, then its check.
rem
rem   make-patch.bat OLD_GAME NEW_GAME PATCH_FOLDER
rem
rem Started without them (a double-click, or one folder dropped onto this file),
rem it asks for each folder in turn: drag the folder into the window, press Enter.
rem The patch's window texts come from texts.ini beside this file (UTF-8).
rem update-make.exe and update-check.exe read the folders' names in Unicode, so
rem Japanese names need no code page here.
setlocal
set "KIT=%~dp0"
set "OLD=%~1"
set "NEW=%~2"
set "PATCH=%~3"
set "ASKED="
if "%~3"=="" set "ASKED=1"

if not defined OLD set /p "OLD=Old game folder (as the players have it): "
if not defined OLD goto usage
if not defined NEW set /p "NEW=New game folder: "
if not defined NEW goto usage
if not defined PATCH set /p "PATCH=Folder for the patch (new or empty; Enter: the new folder's name + -patch): "
rem A folder dragged into the window comes in quotes when its path has a blank.
set "OLD=%OLD:"=%"
set "NEW=%NEW:"=%"
if not defined PATCH set "PATCH=%NEW%-patch"
set "PATCH=%PATCH:"=%"
rem A quoted argument that ends in a backslash would swallow its closing quote.
if "%OLD:~-1%"=="\" set "OLD=%OLD%."
if "%NEW:~-1%"=="\" set "NEW=%NEW%."
if "%PATCH:~-1%"=="\" set "PATCH=%PATCH:~0,-1%"

if not exist "%KIT%texts.ini" (
  echo make-patch: no texts.ini beside make-patch.bat: write the patch's texts there first.
  set "STATUS=3"
  goto end
)

echo.
echo ==== update-make: the patch
"%KIT%update-make.exe" --texts "%KIT%texts.ini" "%OLD%" "%NEW%" "%PATCH%"
set "STATUS=%ERRORLEVEL%"
if %STATUS% GEQ 2 goto failed

echo.
echo ==== update-check: what update.exe does to the old game with it
"%KIT%update-check.exe" "%PATCH%" "%OLD%"
if errorlevel 2 (
  set "STATUS=2"
  goto failed
)
echo.
echo Done. Zip the patch folder and give it to the players:
echo   "%PATCH%"
goto end

:failed
echo.
echo make-patch: stopped (status %STATUS%); see the lines above.
goto end

:usage
echo usage: make-patch.bat OLD_GAME NEW_GAME PATCH_FOLDER
set "STATUS=3"

:end
if defined ASKED pause
exit /b %STATUS%
