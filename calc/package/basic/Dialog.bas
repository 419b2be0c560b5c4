' Data > Statistics > Correlation Analysis...: asks for the analysis, the
' ranges, the sections and the output place, then runs the service on the
' current document. A failure shows its number, description and a hint and
' brings the dialog back; an occupied output place asks before overwriting.
Option Explicit

Sub Show
	Dim oDoc As Object, oDlg As Object, sError As String, bOverWrite As Boolean
	oDoc = ThisComponent
	If Not oDoc.supportsService("com.sun.star.sheet.SpreadsheetDocument") Then
		MsgBox "Correlation Analysis works on a spreadsheet.", 48, "Correlation Analysis"
		Exit Sub
	End If
	DialogLibraries.LoadLibrary("NMLCorrelation")
	oDlg = CreateUnoDialog(DialogLibraries.NMLCorrelation.CorrelationDialog)
	oDlg.getControl("txtX").Text = SelectionText(oDoc)
	Do While oDlg.execute() = 1
		bOverWrite = False
		sError = RunOnce(oDoc, oDlg, bOverWrite)
		If ErrorCode(sError) = 6004 Then
			If MsgBox("The output place already holds data." & Chr(10) & "Replace it with the report?", 36, "Correlation Analysis") = 6 Then
				bOverWrite = True
				sError = RunOnce(oDoc, oDlg, bOverWrite)
			Else
				sError = ""
				GoTo NextRound
			End If
		End If
		If sError = "" Then Exit Do
		MsgBox ErrorText(sError) & Chr(10) & Chr(10) & Hint(ErrorCode(sError)), 16, "Correlation Analysis"
NextRound:
	Loop
	oDlg.dispose()
End Sub

' The current selection as reference text, in Calc's own form.
Function SelectionText(oDoc As Object) As String
	Dim oSel As Object
	SelectionText = ""
	oSel = oDoc.getCurrentSelection()
	If IsNull(oSel) Then Exit Function
	If oSel.supportsService("com.sun.star.sheet.SheetCellRanges") Then
		SelectionText = oSel.RangeAddressesAsString
	ElseIf oSel.supportsService("com.sun.star.sheet.SheetCellRange") Or oSel.supportsService("com.sun.star.sheet.SheetCell") Then
		SelectionText = oSel.AbsoluteName
	End If
End Function

' Runs Results with the dialog's settings; returns "" or the error's text.
Function RunOnce(oDoc As Object, oDlg As Object, bOverWrite As Boolean) As String
	Dim oCorr As Object
	On Error GoTo Failed
	oCorr = CreateUnoServiceWithArguments("org.numerolith.NMLCorrelation.clsCorrelation", Array(oDoc))
	oCorr.Method = oDlg.getControl("lstMethod").SelectedItemPos
	oCorr.Headers = oDlg.getControl("chkHeaders").State = 1
	oCorr.Descriptives = oDlg.getControl("chkDescriptives").State = 1
	oCorr.Plots = oDlg.getControl("chkPlots").State = 1
	oCorr.Standardised = oDlg.getControl("chkStandardised").State = 1
	oCorr.Raw = oDlg.getControl("chkRaw").State = 1
	oCorr.XRange = oDlg.getControl("txtX").Text
	If Trim(oDlg.getControl("txtY").Text) <> "" Then oCorr.YRange = oDlg.getControl("txtY").Text
	If oDlg.getControl("optRange").State Then oCorr.OutputRange = oDlg.getControl("txtOutput").Text
	oCorr.Results(bOverWrite)
	RunOnce = ""
	Exit Function
Failed:
	RunOnce = Error$
	If RunOnce = "" Then RunOnce = "error " & Err & ": " & Error$
End Function

' The part of an error's text from "error N: " on (the office puts the
' exception's type in front of it).
Function ErrorText(sError As String) As String
	Dim p As Long
	p = InStr(sError, "error ")
	If p > 0 Then ErrorText = Mid(sError, p) Else ErrorText = sError
End Function

Function ErrorCode(sError As String) As Long
	Dim s As String, i As Integer
	s = ErrorText(sError)
	ErrorCode = 0
	If Left(s, 6) <> "error " Then Exit Function
	i = 7
	Do While i <= Len(s) And InStr("0123456789-", Mid(s, i, 1)) > 0
		i = i + 1
	Loop
	If i > 7 Then ErrorCode = CLng(Mid(s, 7, i - 7))
End Function

Function Hint(nCode As Long) As String
	Select Case nCode
		Case 5001, 5009, 5010
			Hint = "Type a reference such as Data!A1:C48 or $Data.A1:C48; join several areas with commas."
		Case 5011, 5048
			Hint = "Multiple, partial and canonical correlation need Y variables; partial and canonical need at least two."
		Case 5012, 5049
			Hint = "Select the X variables; simple correlation needs at least two columns."
		Case 5028, 5036, 5038
			Hint = "Every area of X and Y must cover the same number of rows."
		Case 5050, 5051
			Hint = "At least three rows of data are needed, not counting the names row."
		Case 6001, 6002, 6005
			Hint = "Every data cell must hold a number; untick 'First row holds names' if the first row is data."
		Case 6003
			Hint = "Choose an output cell further up or to the left, or a new sheet."
		Case 6011, 6012, 11
			Hint = "A variable is constant or a combination of others; leave it out."
		Case Else
			Hint = "Check the ranges and options, then try again."
	End Select
End Function
