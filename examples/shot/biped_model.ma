//Maya ASCII 2018ff08 scene
//Name: biped_model.ma
//Last modified: Mon, Jan 11, 2027 10:30:00 AM
//Codeset: UTF-8
requires maya "2018ff08";
currentUnit -l centimeter -a degree -t film;
fileInfo "application" "maya";
fileInfo "product" "Maya 2018";
fileInfo "version" "2018";
fileInfo "cutIdentifier" "201804062215-77a9351045";
fileInfo "osv" "Linux";
createNode transform -s -n "persp";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000101";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 12 9 14 ;
	setAttr ".r" -type "double3" -24.938352729602379 40.599999999999994 0 ;
createNode camera -s -n "perspShape" -p "persp";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000102";
	setAttr -k off ".v" no;
	setAttr ".fl" 34.999999999999993;
	setAttr ".coi" 19.5;
	setAttr ".imn" -type "string" "persp";
	setAttr ".den" -type "string" "persp_depth";
	setAttr ".man" -type "string" "persp_mask";
	setAttr ".hc" -type "string" "viewSet -p %camera";
createNode transform -s -n "top";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000103";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 1000.1 0 ;
	setAttr ".r" -type "double3" -90 0 0 ;
createNode camera -s -n "topShape" -p "top";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000104";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "top";
	setAttr ".den" -type "string" "top_depth";
	setAttr ".man" -type "string" "top_mask";
	setAttr ".hc" -type "string" "viewSet -t %camera";
	setAttr ".o" yes;
createNode transform -s -n "front";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000105";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 0 1000.1 ;
createNode camera -s -n "frontShape" -p "front";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000106";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "front";
	setAttr ".den" -type "string" "front_depth";
	setAttr ".man" -type "string" "front_mask";
	setAttr ".hc" -type "string" "viewSet -f %camera";
	setAttr ".o" yes;
createNode transform -s -n "side";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000107";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 1000.1 0 0 ;
	setAttr ".r" -type "double3" 0 90 0 ;
createNode camera -s -n "sideShape" -p "side";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000108";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "side";
	setAttr ".den" -type "string" "side_depth";
	setAttr ".man" -type "string" "side_mask";
	setAttr ".hc" -type "string" "viewSet -s %camera";
	setAttr ".o" yes;
createNode transform -n "body";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000110";
createNode mesh -n "bodyShape" -p "body";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000111";
	setAttr -k off ".v";
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr -s 12 ".uvst[0].uvsp[0:11]" -type "float2" 0 0 0.25 0 0.5 0 0.75 0 0 0.5 0.25 0.5 0.5 0.5 0.75 0.5 0 1 0.25 1 0.5 1 0.75 1;
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
	setAttr -s 12 ".vt[0:11]"  -0.5 0.8 0.5 0.5 0.8 0.5 0.5 0.8 -0.5 -0.5 0.8 -0.5 -0.5 2.3 0.5 0.5 2.3 0.5 0.5 2.3 -0.5 -0.5 2.3 -0.5 -0.5 3.8 0.5 0.5 3.8 0.5 0.5 3.8 -0.5 -0.5 3.8 -0.5;
	setAttr -s 30 ".ed[0:29]"  0 1 1 1 5 1 5 0 1 5 4 1 4 0 1 1 2 1 2 6 1 6 1 1 6 5 1 2 3 1 3 7 1 7 2 1 7 6 1 3 0 1 4 3 1 4 7 1 5 9 1 9 4 1 9 8 1 8 4 1 6 10 1 10 5 1 10 9 1 7 11 1 11 6 1 11 10 1 8 7 1 8 11 1 2 0 1 10 8 1;
	setAttr -s 20 -ch 60 ".fc[0:19]" -type "polyFaces" 
		f 3 0 1 2
		mu 0 3 0 1 5
		f 3 -3 3 4
		mu 0 3 0 5 4
		f 3 5 6 7
		mu 0 3 1 2 6
		f 3 -8 8 -2
		mu 0 3 1 6 5
		f 3 9 10 11
		mu 0 3 2 3 7
		f 3 -12 12 -7
		mu 0 3 2 7 6
		f 3 13 -5 14
		mu 0 3 3 0 4
		f 3 -15 15 -11
		mu 0 3 3 4 7
		f 3 -4 16 17
		mu 0 3 4 5 9
		f 3 -18 18 19
		mu 0 3 4 9 8
		f 3 -9 20 21
		mu 0 3 5 6 10
		f 3 -22 22 -17
		mu 0 3 5 10 9
		f 3 -13 23 24
		mu 0 3 6 7 11
		f 3 -25 25 -21
		mu 0 3 6 11 10
		f 3 -16 -20 26
		mu 0 3 7 4 8
		f 3 -27 27 -24
		mu 0 3 7 8 11
		f 3 -14 -10 28
		mu 0 3 0 3 2
		f 3 -29 -6 -1
		mu 0 3 0 2 1
		f 3 -19 -23 29
		mu 0 3 8 9 10
		f 3 -30 -26 -28
		mu 0 3 8 10 11;
	setAttr ".cd" -type "dataPolyComponent" Index_Data Edge 0 ;
	setAttr ".cvd" -type "dataPolyComponent" Index_Data Vertex 0 ;
	setAttr ".pd[0]" -type "dataPolyComponent" Index_Data UV 0 ;
	setAttr ".hfd" -type "dataPolyComponent" Index_Data Face 0 ;
createNode lightLinker -s -n "lightLinker1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000120";
	setAttr -s 3 ".lnk";
	setAttr -s 3 ".slnk";
createNode displayLayerManager -n "layerManager";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000121";
createNode displayLayer -n "defaultLayer";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000122";
createNode renderLayerManager -n "renderLayerManager";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000123";
createNode renderLayer -n "defaultRenderLayer";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000124";
	setAttr ".g" yes;
createNode lambert -n "skin";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000130";
	setAttr ".c" -type "float3" 0.80000001 0.61000001 0.5 ;
createNode shadingEngine -n "skinSG";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000131";
	setAttr ".ihi" 0;
	setAttr ".ro" yes;
createNode materialInfo -n "materialInfo1";
	rename -uid "9D1C0000-0000-4B1E-5C1A-A0DE00000132";
select -ne :time1;
	setAttr ".o" 1;
	setAttr ".unw" 1;
select -ne :renderPartition;
	setAttr -s 3 ".st";
select -ne :defaultShaderList1;
	setAttr -s 4 ".s";
select -ne :postProcessList1;
	setAttr -s 2 ".p";
select -ne :defaultRenderingList1;
select -ne :initialShadingGroup;
	setAttr ".ro" yes;
select -ne :initialParticleSE;
	setAttr ".ro" yes;
relationship "link" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" "skinSG.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" "skinSG.message" ":defaultLightSet.message";
connectAttr "layerManager.dli[0]" "defaultLayer.id";
connectAttr "renderLayerManager.rlmi[0]" "defaultRenderLayer.rlid";
connectAttr "defaultRenderLayer.msg" ":defaultRenderingList1.r" -na;
connectAttr "skin.oc" "skinSG.ss";
connectAttr "bodyShape.iog" "skinSG.dsm" -na;
connectAttr "skinSG.msg" "materialInfo1.sg";
connectAttr "skin.msg" "materialInfo1.m";
connectAttr "skinSG.pa" ":renderPartition.st" -na;
connectAttr "skin.msg" ":defaultShaderList1.s" -na;
// End of biped_model.ma
